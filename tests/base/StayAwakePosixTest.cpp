// Staying awake on Linux, against stand-ins of the desktop portal (on a session bus of the test's
// own) and of logind (on a system bus of its own): never the machine's.
#include "base/StayAwakePosix.h"

#include <gio/gunixfdlist.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/base/PrivateBus.h"

using testing_support::TPrivateBus;
using testing_support::TStandInService;

namespace {

const char* kReason = "Tempix mierzy czas z portu szeregowego";

struct TCalls {
    std::mutex lock;
    std::vector<std::string> seen;
    void Add(const std::string& call) {
        std::lock_guard<std::mutex> g(lock);
        seen.push_back(call);
    }
    std::vector<std::string> Seen() {
        std::lock_guard<std::mutex> g(lock);
        return seen;
    }
};

bool Closed(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 2000) == 1 && (p.revents & POLLHUP);
}

}  // namespace

// Where the portal runs, it is asked (suspend and idle, the reason), and its request closed again.
TEST(StayAwakePosixTest, the_portal_is_asked_first_and_its_request_closed_at_release) {
    TPrivateBus session, system;
    ASSERT_FALSE(session.Address().empty());
    TCalls calls;
    TStandInService portal(
        session.Address(), "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
        "<node><interface name='org.freedesktop.portal.Inhibit'><method name='Inhibit'><arg type='s' direction='in'/>"
        "<arg type='u' direction='in'/><arg type='a{sv}' direction='in'/><arg type='o' direction='out'/></method>"
        "</interface><interface name='org.freedesktop.portal.Request'><method name='Close'/></interface></node>",
        [&](const std::string& method, GVariant* params, std::string&) -> GVariant* {
            if (method == "Close") {
                calls.Add("Close");
                return nullptr;
            }
            guint32 flags = 0;
            GVariant* options = nullptr;
            g_variant_get(params, "(&su@a{sv})", nullptr, &flags, &options);
            const gchar* reason = "";
            g_variant_lookup(options, "reason", "&s", &reason);
            calls.Add("Inhibit " + std::to_string(flags) + " " + reason);
            g_variant_unref(options);
            return g_variant_new("(o)", "/org/freedesktop/portal/desktop");
        });
    ASSERT_TRUE(portal.Owned());
    base::TDesktopStayAwake awake(session.Address(), system.Address());
    awake.Hold(kReason);
    awake.Hold(kReason);  // held already
    EXPECT_EQ(calls.Seen(), std::vector<std::string>{std::string("Inhibit 12 ") + kReason});
    awake.Release();
    EXPECT_EQ(calls.Seen().back(), "Close");
}

// No portal: logind's Inhibit, blocking sleep and idle, whose descriptor is held until the release.
TEST(StayAwakePosixTest, without_a_portal_logind_is_asked_and_its_descriptor_held_until_release) {
    TPrivateBus session, system;
    TCalls calls;
    int held = -1;
    TStandInService* service = nullptr;
    TStandInService logind(
        system.Address(), "org.freedesktop.login1", "/org/freedesktop/login1",
        "<node><interface name='org.freedesktop.login1.Manager'><method name='Inhibit'><arg type='s' direction='in'/>"
        "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='s' direction='in'/>"
        "<arg type='h' direction='out'/></method></interface></node>",
        [&](const std::string&, GVariant* params, std::string&) -> GVariant* {
            const gchar *what, *who, *why, *mode;
            g_variant_get(params, "(&s&s&s&s)", &what, &who, &why, &mode);
            calls.Add(std::string(what) + " " + who + " " + why + " " + mode);
            int ends[2];
            if (pipe(ends) != 0) return nullptr;
            held = ends[0];
            GUnixFDList* fds = g_unix_fd_list_new_from_array(&ends[1], 1);  // takes the write end
            service->ReplyFds(fds);
            return g_variant_new("(h)", 0);
        });
    service = &logind;
    ASSERT_TRUE(logind.Owned());
    base::TDesktopStayAwake awake(session.Address(), system.Address());
    awake.Hold(kReason);
    ASSERT_EQ(calls.Seen(), std::vector<std::string>{std::string("sleep:idle Tempix ") + kReason + " block"});
    ASSERT_GE(held, 0);
    pollfd p{held, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 50), 0) << "the descriptor must stay open while held";
    awake.Release();
    EXPECT_TRUE(Closed(held));
    close(held);
}
