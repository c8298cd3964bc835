// hold_file PATH FLAG: holds PATH open as a spreadsheet or an editor does (reading, others may only
// read), says so by making FLAG.held, and lets go once FLAG exists.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    const std::wstring flag = argv[2];
    HANDLE held = CreateFileW((flag + L".held").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    while (GetFileAttributesW(flag.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(20);
    CloseHandle(file);
    return 0;
}
