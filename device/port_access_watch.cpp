#include "device/port_access_watch.h"

PortAccessWatch::Decision PortAccessWatch::AfterCheck(int port, bool open, PortProblem problem,
                                                      std::uint32_t nowMs) {
    if (port <= 0 || port != port_) {
        // Unplugged, or plugged in (again, or on another port): a new plug-in starts afresh.
        port_ = port > 0 ? port : 0;
        told_ = false;
        failing_ = false;
    }
    if (port <= 0 || open) {
        failing_ = false;
        return {};
    }
    if (!failing_) {
        failing_ = true;
        failingSinceMs_ = nowMs;
    }
    const std::uint32_t failingForMs = nowMs - failingSinceMs_;
    Decision decision;
    decision.tell = !told_ && (problem == PortProblem::Denied || failingForMs >= kGraceMs);
    told_ = told_ || decision.tell;
    decision.retry = failingForMs < kRetryForMs;
    return decision;
}
