// Interface counters from the kernel: one rtnetlink RTM_GETSTATS dump per poll.
#include "monitor/traffic_totals.h"

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "base/file_descriptor_linux.h"

namespace {

// A netlink socket kept open for the polling thread: opening one costs more
// than the dump itself.
class StatsSocket {
  public:
    StatsSocket() : m_socket(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}

    // The counters of the interfaces filter counts; without a pattern no name is read.
    bool Dump(const InterfaceFilter& filter, std::vector<InterfaceCounters>& rows);

  private:
    // Whether one interface, known by its index, counts under m_filter.
    struct Verdict {
        int index;
        bool counts;
    };

    template <typename Body>
    bool SendDumpRequest(std::uint16_t type, const Body& body);
    // Reads to the end of the current dump; rows is null for the names' dump.
    bool Receive(std::vector<InterfaceCounters>* rows);
    // 1: dump complete, 0: more to read, -1: failure.
    int ParseChunk(const char* data, std::size_t length, std::vector<InterfaceCounters>* rows);

    // Where the verdict on an index stands or would stand: m_verdicts stays sorted.
    std::vector<Verdict>::iterator VerdictPlace(int index);
    // The verdict on an index, or m_verdicts.end().
    std::vector<Verdict>::iterator FindVerdict(int index);
    bool Watch(const InterfaceFilter& filter);
    void NoteLink(const nlmsghdr& msg);
    bool ResolveNames();
    bool KeepCounted(std::vector<InterfaceCounters>& rows);

    FileDescriptor m_socket;
    std::uint32_t m_sequence = 0;
    // Only with a filter: the socket also hears of every link change (RTNLGRP_LINK),
    // so names are read when interfaces appear, go or are renamed, never per poll.
    bool m_watching = false;
    bool m_collectIndices = false;
    bool m_namesStale = true;
    InterfaceFilter m_filter;
    std::vector<Verdict> m_verdicts;  // sorted by index
    std::vector<int> m_rowIndices;    // the index of each row of the current dump
    alignas(nlmsghdr) std::array<char, 32768> m_buffer{};
};

template <typename Body>
bool StatsSocket::SendDumpRequest(std::uint16_t type, const Body& body) {
    struct Request {
        nlmsghdr header;
        Body body;
    } request{};
    request.header.nlmsg_len = sizeof(request);
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = ++m_sequence;
    request.body = body;

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    const ssize_t sent = sendto(m_socket.get(), &request, sizeof(request), 0,
                                reinterpret_cast<const sockaddr*>(&kernel), sizeof(kernel));
    return sent == static_cast<ssize_t>(sizeof(request));
}

int StatsSocket::ParseChunk(const char* data, std::size_t length,
                            std::vector<InterfaceCounters>* rows) {
    for (auto* msg = reinterpret_cast<const nlmsghdr*>(data); NLMSG_OK(msg, length);
         msg = NLMSG_NEXT(msg, length)) {
        if (msg->nlmsg_type == RTM_NEWLINK || msg->nlmsg_type == RTM_DELLINK) {
            NoteLink(*msg);  // a change the kernel announced, or a part of our names' dump
            continue;
        }
        if (msg->nlmsg_seq != m_sequence) {
            continue;  // a late answer to an earlier, abandoned request
        }
        if (msg->nlmsg_type == NLMSG_DONE) {
            return 1;
        }
        if (msg->nlmsg_type == NLMSG_ERROR) {
            return -1;
        }
        if (msg->nlmsg_type != RTM_NEWSTATS || rows == nullptr) {
            continue;
        }
        if (msg->nlmsg_len < NLMSG_LENGTH(sizeof(if_stats_msg))) {
            return -1;
        }
        const auto* stats = static_cast<const if_stats_msg*>(NLMSG_DATA(msg));
        auto attrLength = static_cast<unsigned int>(msg->nlmsg_len - NLMSG_LENGTH(sizeof(*stats)));
        const auto* attr = reinterpret_cast<const rtattr*>(reinterpret_cast<const char*>(stats) +
                                                           NLMSG_ALIGN(sizeof(*stats)));
        for (; RTA_OK(attr, attrLength); attr = RTA_NEXT(attr, attrLength)) {
            if (attr->rta_type != IFLA_STATS_LINK_64 ||
                RTA_PAYLOAD(attr) < sizeof(rtnl_link_stats64)) {
                continue;
            }
            rtnl_link_stats64 link;
            std::memcpy(&link, RTA_DATA(attr), sizeof(link));
            rows->push_back({link.rx_bytes, link.tx_bytes});
            if (m_collectIndices) {
                m_rowIndices.push_back(static_cast<int>(stats->ifindex));
            }
        }
    }
    return 0;
}

bool StatsSocket::Receive(std::vector<InterfaceCounters>* rows) {
    for (;;) {
        // MSG_TRUNC gives the datagram's whole length: a table cut short must
        // never be summed as if it were all of it.
        const ssize_t got = recv(m_socket.get(), m_buffer.data(), m_buffer.size(), MSG_TRUNC);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno == ENOBUFS && m_watching) {
            // Link changes overflowed the socket and some were lost: read every
            // name again. The dump itself goes on.
            m_namesStale = true;
            continue;
        }
        if (got <= 0 || static_cast<std::size_t>(got) > m_buffer.size()) {
            return false;
        }
        const int state = ParseChunk(m_buffer.data(), static_cast<std::size_t>(got), rows);
        if (state != 0) {
            return state > 0;
        }
    }
}

std::vector<StatsSocket::Verdict>::iterator StatsSocket::VerdictPlace(int index) {
    return std::lower_bound(
        m_verdicts.begin(), m_verdicts.end(), index,
        [](const Verdict& verdict, int wanted) { return verdict.index < wanted; });
}

std::vector<StatsSocket::Verdict>::iterator StatsSocket::FindVerdict(int index) {
    const auto at = VerdictPlace(index);
    return at != m_verdicts.end() && at->index == index ? at : m_verdicts.end();
}

bool StatsSocket::Watch(const InterfaceFilter& filter) {
    if (!m_watching) {
        const int group = RTNLGRP_LINK;
        // Bounds a wait for an answer lost to an overflow of change messages.
        const timeval limit{1, 0};
        if (setsockopt(m_socket.get(), SOL_NETLINK, NETLINK_ADD_MEMBERSHIP, &group,
                       sizeof(group)) != 0 ||
            setsockopt(m_socket.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit)) != 0) {
            return false;
        }
        m_watching = true;
    }
    if (!(filter == m_filter)) {
        m_filter = filter;
        m_namesStale = true;
    }
    return true;
}

void StatsSocket::NoteLink(const nlmsghdr& msg) {
    if (!m_watching || msg.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) {
        return;
    }
    if ((msg.nlmsg_flags & NLM_F_DUMP_INTR) != 0) {
        m_namesStale = true;  // links changed while the names were read
    }
    const auto* link = static_cast<const ifinfomsg*>(NLMSG_DATA(&msg));
    // Bridge ports announce themselves under AF_BRIDGE, also when they leave a
    // bridge and go on existing: only the links' own messages count.
    if (link->ifi_family != AF_UNSPEC) {
        return;
    }
    const auto known = FindVerdict(link->ifi_index);
    if (msg.nlmsg_type == RTM_DELLINK) {
        if (known != m_verdicts.end()) {
            m_verdicts.erase(known);
        }
        return;
    }
    auto attrLength = static_cast<unsigned int>(msg.nlmsg_len - NLMSG_LENGTH(sizeof(*link)));
    const auto* attr = reinterpret_cast<const rtattr*>(reinterpret_cast<const char*>(link) +
                                                       NLMSG_ALIGN(sizeof(*link)));
    for (; RTA_OK(attr, attrLength); attr = RTA_NEXT(attr, attrLength)) {
        if (attr->rta_type != IFLA_IFNAME) {
            continue;
        }
        const auto* name = static_cast<const char*>(RTA_DATA(attr));
        const bool counts = m_filter.Counts({name, strnlen(name, RTA_PAYLOAD(attr))});
        if (known != m_verdicts.end()) {
            known->counts = counts;
        } else {
            m_verdicts.insert(VerdictPlace(link->ifi_index), {link->ifi_index, counts});
        }
        return;
    }
}

bool StatsSocket::ResolveNames() {
    m_namesStale = false;
    m_verdicts.clear();
    ifinfomsg all{};
    all.ifi_family = AF_UNSPEC;
    if (!SendDumpRequest(RTM_GETLINK, all) || !Receive(nullptr)) {
        m_namesStale = true;
        return false;
    }
    return true;
}

bool StatsSocket::KeepCounted(std::vector<InterfaceCounters>& rows) {
    // An index not heard of yet is an interface so new that its announcement
    // has not arrived: read the names now, so that it follows the rule from
    // its first poll on.
    const bool allKnown =
        !m_namesStale && std::all_of(m_rowIndices.begin(), m_rowIndices.end(), [&](int index) {
            return FindVerdict(index) != m_verdicts.end();
        });
    if (!allKnown && !ResolveNames()) {
        return false;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto verdict = FindVerdict(m_rowIndices[i]);
        if (verdict != m_verdicts.end() && verdict->counts) {
            rows[kept++] = rows[i];
        }
    }
    rows.resize(kept);
    return true;
}

bool StatsSocket::Dump(const InterfaceFilter& filter, std::vector<InterfaceCounters>& rows) {
    rows.clear();
    m_rowIndices.clear();
    m_collectIndices = !filter.CountsEverything();
    if (!m_socket.IsOpen() || (m_collectIndices && !Watch(filter))) {
        return false;
    }
    if_stats_msg stats{};
    stats.family = AF_UNSPEC;
    stats.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
    if (!SendDumpRequest(RTM_GETSTATS, stats) || !Receive(&rows)) {
        return false;
    }
    return !m_collectIndices || KeepCounted(rows);
}

}  // namespace

bool QueryTrafficTotals(const InterfaceFilter& filter, std::uint32_t& received,
                        std::uint32_t& sent) {
    // Kept by each polling thread, so that a poll allocates nothing once the
    // table (and, with a filter, the names) has been seen.
    thread_local StatsSocket socket;
    thread_local std::vector<InterfaceCounters> rows;
    const bool read = socket.Dump(filter, rows);
    return SumTrafficTotals(read, rows, received, sent);
}

InterfaceFilter MakeInterfaceFilter(std::string_view patterns) {
    return InterfaceFilter(patterns);
}
