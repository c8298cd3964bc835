"""flushed_writes.py STRACE_LOG LOG...: every write to one of the logs (by its descriptor, from strace
-f output of openat, write, fdatasync and close) is followed by an fdatasync of the same descriptor
before it is closed; and there were some."""
import re
import sys

trace, logs = open(sys.argv[1], encoding='utf-8', errors='replace').read().splitlines(), set(sys.argv[2:])
open_fd, unflushed, flushed = {}, {}, 0
for line in trace:
    m = re.match(r'\d+ +openat\(AT_FDCWD, "([^"]*)".* = (\d+)$', line)
    if m and m.group(1) in logs:
        open_fd[m.group(2)] = m.group(1)
        continue
    m = re.match(r'\d+ +(write|fdatasync|close)\((\d+)[,)].* = (-?\d+)', line)
    if not m or m.group(2) not in open_fd:
        continue
    call, fd, result = m.groups()
    if call == 'write' and int(result) > 0:
        unflushed[fd] = True
    elif call == 'fdatasync' and unflushed.get(fd) and result == '0':
        unflushed[fd] = False
        flushed += 1
    elif call == 'close':
        if unflushed.pop(fd, False):
            sys.exit(f'{open_fd[fd]}: written and closed without a flush')
        del open_fd[fd]
if flushed < 4:
    sys.exit(f'only {flushed} flushed writes to the logs')
print(f'{flushed} writes to the logs, each flushed')
