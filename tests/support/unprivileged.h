#pragma once

#include <QtGlobal>

#if defined(Q_OS_UNIX)
#include <grp.h>
#include <unistd.h>

#include <algorithm>
#include <vector>
#endif

namespace hideaway::test {

#if defined(Q_OS_UNIX)
/// Root reads and writes anything, so permission cases drop to an unprivileged user and group
/// while the guard lives. The folders such a case uses must be reachable by others.
class Unprivileged {
public:
    Unprivileged() {
        if (geteuid() != 0) {
            return;
        }
        m_groups.resize(static_cast<std::size_t>(std::max(0, getgroups(0, nullptr))));
        m_groupCount = getgroups(static_cast<int>(m_groups.size()), m_groups.data());
        const gid_t nogroup = kNobody;
        // The real ids change too, since access() checks with them; the saved ones stay root so
        // that the guard can come back.
        m_dropped = m_groupCount >= 0 && setgroups(1, &nogroup) == 0 &&
                    setresgid(kNobody, kNobody, 0) == 0 && setresuid(kNobody, kNobody, 0) == 0;
        m_ok = m_dropped;
        if (!m_dropped) {
            restore();
        }
    }
    ~Unprivileged() {
        if (m_dropped) {
            restore();
        }
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

    /// False when the user could not be changed; the case cannot show anything then.
    bool ok() const { return m_ok; }

private:
    void restore() {
        [[maybe_unused]] const int user = setresuid(0, 0, 0);
        [[maybe_unused]] const int group = setresgid(0, 0, 0);
        if (m_groupCount >= 0) {
            [[maybe_unused]] const int groups =
                setgroups(static_cast<std::size_t>(m_groupCount), m_groups.data());
        }
    }

    static constexpr uid_t kNobody = 65534;
    std::vector<gid_t> m_groups;
    int m_groupCount = -1;
    bool m_dropped = false;
    bool m_ok = true;
};
#else
/// Windows has no such user to become here: every case that needs one skips.
class Unprivileged {
public:
    bool ok() const { return false; }
};
#endif

}  // namespace hideaway::test
