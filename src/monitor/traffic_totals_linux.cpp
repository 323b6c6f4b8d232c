// Interface counters from the kernel: one rtnetlink RTM_GETSTATS dump per poll.
#include "monitor/traffic_totals.h"

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace {

// A netlink socket kept open for the polling thread: opening one costs more
// than the dump itself.
class StatsSocket {
  public:
    StatsSocket() : m_fd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
    ~StatsSocket() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    StatsSocket(const StatsSocket&) = delete;
    StatsSocket& operator=(const StatsSocket&) = delete;

    bool Dump(std::vector<InterfaceCounters>& rows);

  private:
    bool SendRequest();
    // 1: dump complete, 0: more to read, -1: failure.
    int ParseChunk(const char* data, std::size_t length,
                   std::vector<InterfaceCounters>& rows) const;

    int m_fd;
    std::uint32_t m_sequence = 0;
    alignas(nlmsghdr) std::array<char, 32768> m_buffer{};
};

bool StatsSocket::SendRequest() {
    struct Request {
        nlmsghdr header;
        if_stats_msg stats;
    } request{};
    request.header.nlmsg_len = sizeof(request);
    request.header.nlmsg_type = RTM_GETSTATS;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = ++m_sequence;
    request.stats.family = AF_UNSPEC;
    request.stats.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    const ssize_t sent = sendto(m_fd, &request, sizeof(request), 0,
                                reinterpret_cast<const sockaddr*>(&kernel), sizeof(kernel));
    return sent == static_cast<ssize_t>(sizeof(request));
}

int StatsSocket::ParseChunk(const char* data, std::size_t length,
                            std::vector<InterfaceCounters>& rows) const {
    for (auto* msg = reinterpret_cast<const nlmsghdr*>(data); NLMSG_OK(msg, length);
         msg = NLMSG_NEXT(msg, length)) {
        if (msg->nlmsg_seq != m_sequence) {
            continue;  // a late answer to an earlier, abandoned request
        }
        if (msg->nlmsg_type == NLMSG_DONE) {
            return 1;
        }
        if (msg->nlmsg_type == NLMSG_ERROR || msg->nlmsg_type != RTM_NEWSTATS) {
            return msg->nlmsg_type == NLMSG_ERROR ? -1 : 0;
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
            rows.push_back({link.rx_bytes, link.tx_bytes});
        }
    }
    return 0;
}

bool StatsSocket::Dump(std::vector<InterfaceCounters>& rows) {
    rows.clear();
    if (m_fd < 0 || !SendRequest()) {
        return false;
    }
    for (;;) {
        const ssize_t got = recv(m_fd, m_buffer.data(), m_buffer.size(), 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        const int state = ParseChunk(m_buffer.data(), static_cast<std::size_t>(got), rows);
        if (state != 0) {
            return state > 0;
        }
    }
}

}  // namespace

bool QueryTrafficTotals(std::uint32_t& received, std::uint32_t& sent) {
    // Kept by each polling thread, so that a poll allocates nothing once the
    // table has been seen.
    thread_local StatsSocket socket;
    thread_local std::vector<InterfaceCounters> rows;
    const bool read = socket.Dump(rows);
    return SumTrafficTotals(read, rows, received, sent);
}
