// The loss model as one sweep over the moments a span begins or ends: between
// two such moments every state is constant, so each piece goes to one
// category at once, except plain idle pieces, which wait until their idle
// stretch has ended and its whole length is known.
#include "reports/loss_model.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace reports {

namespace {

using dbaccess::DateTime;

constexpr double kMillisecondsPerHour = 3600000.0;
constexpr size_t kNoRecord = SIZE_MAX;

enum Layer : size_t {
  kRecord,
  kPlannedMachineDowntime,
  kMachineDowntime,
  kChangeover,
  kCycle,
  kPlannedUserDowntime,
  kUserDowntime,
  kLayerCount,
};

struct Edge {
  DateTime at;
  Layer layer = kRecord;
  int delta = 0;
  size_t record = 0;  // for kRecord edges
};

void AddEdges(std::vector<Edge>& edges, const std::vector<StateSpan>& spans, Layer plain,
              Layer planned) {
  for (const StateSpan& span : spans) {
    if (!(span.start < span.stop)) continue;
    const Layer layer = span.planned ? planned : plain;
    edges.push_back({span.start, layer, +1, 0});
    edges.push_back({span.stop, layer, -1, 0});
  }
}

// The idle pieces of one stretch, classified once the stretch has ended.
class IdleStretch {
 public:
  void AddPlainIdle(size_t record, int64_t ms) {
    pieces_.push_back({record, ms});
    length_ms_ += ms;
  }
  void AddExplainedIdle(int64_t ms) { length_ms_ += ms; }
  void Close(std::vector<LossHours>& hours, int64_t micro_stop_ms) {
    const bool minor = length_ms_ < micro_stop_ms;
    for (const auto& [record, ms] : pieces_) {
      (minor ? hours[record].minor_stop : hours[record].waiting) += ms / kMillisecondsPerHour;
    }
    pieces_.clear();
    length_ms_ = 0;
  }

 private:
  std::vector<std::pair<size_t, int64_t>> pieces_;
  int64_t length_ms_ = 0;
};

}  // namespace

double LossHours::Scheduled() const {
  return planned_stop + unplanned_downtime + changeover + running + operator_stop + minor_stop +
         waiting;
}

void LossHours::Add(const LossHours& other) {
  planned_stop += other.planned_stop;
  unplanned_downtime += other.unplanned_downtime;
  changeover += other.changeover;
  running += other.running;
  operator_stop += other.operator_stop;
  minor_stop += other.minor_stop;
  waiting += other.waiting;
}

std::vector<LossHours> ClassifyMachineTime(const MachineStates& states,
                                           const LossSettings& settings,
                                           const std::vector<dbaccess::ClockChange>& changes) {
  std::vector<LossHours> hours(states.records.size());
  std::vector<Edge> edges;
  for (size_t i = 0; i < states.records.size(); ++i) {
    const StateSpan& record = states.records[i];
    if (!(record.start < record.stop)) continue;
    edges.push_back({record.start, kRecord, +1, i});
    edges.push_back({record.stop, kRecord, -1, i});
  }
  AddEdges(edges, states.machine_downtimes, kMachineDowntime, kPlannedMachineDowntime);
  AddEdges(edges, states.changeovers, kChangeover, kChangeover);
  AddEdges(edges, states.cycles, kCycle, kCycle);
  AddEdges(edges, states.user_downtimes, kUserDowntime, kPlannedUserDowntime);
  // Ends before starts at the same moment, so that a record's successor is
  // the current record after their common moment.
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) {
    if (a.at != b.at) return a.at < b.at;
    return a.delta < b.delta;
  });

  const int64_t micro_stop_ms = int64_t{settings.micro_stop_seconds} * 1000;
  std::array<int, kLayerCount> open{};
  size_t record = kNoRecord;
  IdleStretch stretch;
  for (size_t i = 0; i < edges.size();) {
    const DateTime at = edges[i].at;
    for (; i < edges.size() && edges[i].at == at; ++i) {
      const Edge& edge = edges[i];
      open[edge.layer] += edge.delta;
      if (edge.layer != kRecord) continue;
      if (edge.delta > 0) record = edge.record;
      if (edge.delta < 0 && record == edge.record) record = kNoRecord;
    }
    if (i == edges.size()) break;
    if (record == kNoRecord) {
      stretch.Close(hours, micro_stop_ms);
      continue;
    }
    const int64_t ms = dbaccess::ElapsedMilliseconds(at, edges[i].at, changes);
    const double h = ms / kMillisecondsPerHour;
    LossHours& into = hours[record];
    const bool idle = open[kMachineDowntime] + open[kPlannedMachineDowntime] + open[kChangeover] +
                          open[kCycle] ==
                      0;
    if (!idle) stretch.Close(hours, micro_stop_ms);
    if (open[kMachineDowntime] > 0) {
      into.unplanned_downtime += h;
    } else if (open[kPlannedMachineDowntime] > 0) {
      into.planned_stop += h;
    } else if (open[kChangeover] > 0) {
      into.changeover += h;
    } else if (open[kCycle] > 0) {
      into.running += h;
    } else if (open[kUserDowntime] > 0) {
      into.operator_stop += h;
      stretch.AddExplainedIdle(ms);
    } else if (open[kPlannedUserDowntime] > 0) {
      into.planned_stop += h;
      stretch.AddExplainedIdle(ms);
    } else {
      stretch.AddPlainIdle(record, ms);
    }
  }
  stretch.Close(hours, micro_stop_ms);
  return hours;
}

}  // namespace reports
