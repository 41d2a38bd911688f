// Registry: the metrics one program exposes, as families of counters, gauges
// and histograms, each value keyed by its labels, rendered in the Prometheus
// text exposition format (version 0.0.4). Every name gets the prefix
// "voltrane_"; a counter's name should end in "_total".
//
// A program updates values where things happen (Add, Set, Observe). A
// program that keeps its counts in a plain struct of its own instead feeds
// them at each scrape: a scrape hook copies the struct's values in with
// Set before the text is rendered.
//
// Thread rule: every operation may be called from any thread; a family handle
// stays valid for the registry's life. Registering a name twice returns the
// first family (its kind and help unchanged).
#ifndef VOLTRANE_METRICS_METRIC_REGISTRY_H_
#define VOLTRANE_METRICS_METRIC_REGISTRY_H_

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace metrics {

// Label names and values in the order the family declares its label names.
using LabelValues = std::vector<std::string>;

enum class MetricKind { kCounter, kGauge, kHistogram };

// The default bounds of a duration histogram, in seconds.
std::vector<double> DurationBuckets();

class Family {
 public:
  Family(std::string name, std::string help, MetricKind kind, std::vector<std::string> labels,
         std::vector<double> bounds);

  // A counter grows by `delta` (ignored unless positive).
  void Add(const LabelValues& values, double delta = 1);
  // A gauge takes the value; so does a counter fed from a cumulative count.
  void Set(const LabelValues& values, double value);
  // A histogram counts one observation.
  void Observe(const LabelValues& values, double value);
  // The value of a counter or gauge (0 when never set); a histogram's count.
  double Value(const LabelValues& values) const;
  // Removes every labelled value (a gauge whose label set is rebuilt at each scrape).
  void Clear();

  void Render(std::string& out) const;
  const std::string& name() const { return name_; }

 private:
  struct Series {
    double value = 0;
    std::vector<double> bucket_counts;  // histograms: one per bound, not cumulative
    double sum = 0;
  };
  Series& SeriesFor(const LabelValues& values);
  std::string LabelText(const LabelValues& values, const std::string& extra_name,
                        const std::string& extra_value) const;

  const std::string name_;
  const std::string help_;
  const MetricKind kind_;
  const std::vector<std::string> labels_;
  const std::vector<double> bounds_;
  mutable std::mutex mutex_;
  std::map<LabelValues, Series> series_;  // guarded by mutex_
};

class Registry {
 public:
  using ScrapeHook = std::function<void(Registry&)>;

  // `name` without the prefix.
  Family& Counter(const std::string& name, const std::string& help,
                  std::vector<std::string> labels = {});
  Family& Gauge(const std::string& name, const std::string& help,
                std::vector<std::string> labels = {});
  Family& Histogram(const std::string& name, const std::string& help,
                    std::vector<std::string> labels = {},
                    std::vector<double> bounds = DurationBuckets());

  // Runs before every Render, on the scraping thread.
  void AddScrapeHook(ScrapeHook hook);

  // Runs the hooks, then renders every family in name order.
  std::string Render();

 private:
  Family& Register(const std::string& name, const std::string& help, MetricKind kind,
                   std::vector<std::string> labels, std::vector<double> bounds);

  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<Family>> families_;  // guarded by mutex_
  std::vector<ScrapeHook> hooks_;                            // guarded by mutex_
  std::mutex render_mutex_;  // one scrape at a time runs the hooks
};

// The content type of the rendered text.
inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

}  // namespace metrics

#endif  // VOLTRANE_METRICS_METRIC_REGISTRY_H_
