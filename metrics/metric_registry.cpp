// Families of metrics and their text exposition.
#include "metrics/metric_registry.h"

#include <fmt/format.h>

#include <array>
#include <cmath>

namespace metrics {
namespace {

constexpr const char* kPrefix = "voltrane_";

std::string NumberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    return fmt::format("{}", static_cast<long long>(value));
  }
  return fmt::format("{}", value);
}

// Label values escape backslash, double quote and line feed; help texts the
// same without the quote.
std::string Escaped(const std::string& text, bool quote) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '"' && quote) {
      out += "\\\"";
    } else {
      out += c;
    }
  }
  return out;
}

// The TYPE line's word, by MetricKind.
constexpr std::array<const char*, 3> kKindTexts = {"counter", "gauge", "histogram"};

const char* KindText(MetricKind kind) { return kKindTexts[static_cast<size_t>(kind)]; }

}  // namespace

std::vector<double> DurationBuckets() {
  return {0.001, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};
}

Family::Family(std::string name, std::string help, MetricKind kind,
               std::vector<std::string> labels, std::vector<double> bounds)
    : name_(std::move(name)),
      help_(std::move(help)),
      kind_(kind),
      labels_(std::move(labels)),
      bounds_(std::move(bounds)) {}

Family::Series& Family::SeriesFor(const LabelValues& values) {
  LabelValues key = values;
  key.resize(labels_.size());  // missing values read as ""
  Series& series = series_[key];
  if (kind_ == MetricKind::kHistogram && series.bucket_counts.empty()) {
    series.bucket_counts.assign(bounds_.size(), 0);
  }
  return series;
}

void Family::Add(const LabelValues& values, double delta) {
  if (!(delta > 0)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  SeriesFor(values).value += delta;
}

void Family::Set(const LabelValues& values, double value) {
  std::lock_guard<std::mutex> lock(mutex_);
  SeriesFor(values).value = value;
}

void Family::Observe(const LabelValues& values, double value) {
  std::lock_guard<std::mutex> lock(mutex_);
  Series& series = SeriesFor(values);
  series.value += 1;
  series.sum += value;
  for (size_t i = 0; i < bounds_.size(); ++i) {
    if (value <= bounds_[i]) {
      ++series.bucket_counts[i];
      break;
    }
  }
}

double Family::Value(const LabelValues& values) const {
  LabelValues key = values;
  key.resize(labels_.size());
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = series_.find(key);
  return found == series_.end() ? 0 : found->second.value;
}

void Family::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  series_.clear();
}

std::string Family::LabelText(const LabelValues& values, const std::string& extra_name,
                              const std::string& extra_value) const {
  std::string text;
  for (size_t i = 0; i < labels_.size(); ++i) {
    if (!text.empty()) text += ',';
    text += fmt::format("{}=\"{}\"", labels_[i], Escaped(values[i], true));
  }
  if (!extra_name.empty()) {
    if (!text.empty()) text += ',';
    text += fmt::format("{}=\"{}\"", extra_name, extra_value);
  }
  return text.empty() ? text : "{" + text + "}";
}

void Family::Render(std::string& out) const {
  out += fmt::format("# HELP {} {}\n# TYPE {} {}\n", name_, Escaped(help_, false), name_,
                     KindText(kind_));
  std::lock_guard<std::mutex> lock(mutex_);
  // A family without labels shows its value even before anything happened.
  if (series_.empty() && labels_.empty() && kind_ != MetricKind::kHistogram) {
    out += name_ + " 0\n";
  }
  for (const auto& [values, series] : series_) {
    if (kind_ != MetricKind::kHistogram) {
      out += fmt::format("{}{} {}\n", name_, LabelText(values, "", ""), NumberText(series.value));
      continue;
    }
    double cumulative = 0;
    for (size_t i = 0; i < bounds_.size(); ++i) {
      cumulative += series.bucket_counts[i];
      out += fmt::format("{}_bucket{} {}\n", name_, LabelText(values, "le", NumberText(bounds_[i])),
                         NumberText(cumulative));
    }
    out += fmt::format("{}_bucket{} {}\n", name_, LabelText(values, "le", "+Inf"),
                       NumberText(series.value));
    out += fmt::format("{}_sum{} {}\n", name_, LabelText(values, "", ""), NumberText(series.sum));
    out += fmt::format("{}_count{} {}\n", name_, LabelText(values, "", ""),
                       NumberText(series.value));
  }
}

Family& Registry::Register(const std::string& name, const std::string& help, MetricKind kind,
                           std::vector<std::string> labels, std::vector<double> bounds) {
  const std::string full_name = kPrefix + name;
  std::lock_guard<std::mutex> lock(mutex_);
  std::unique_ptr<Family>& family = families_[full_name];
  if (!family) {
    family = std::make_unique<Family>(full_name, help, kind, std::move(labels), std::move(bounds));
  }
  return *family;
}

Family& Registry::Counter(const std::string& name, const std::string& help,
                          std::vector<std::string> labels) {
  return Register(name, help, MetricKind::kCounter, std::move(labels), {});
}

Family& Registry::Gauge(const std::string& name, const std::string& help,
                        std::vector<std::string> labels) {
  return Register(name, help, MetricKind::kGauge, std::move(labels), {});
}

Family& Registry::Histogram(const std::string& name, const std::string& help,
                            std::vector<std::string> labels, std::vector<double> bounds) {
  return Register(name, help, MetricKind::kHistogram, std::move(labels), std::move(bounds));
}

void Registry::AddScrapeHook(ScrapeHook hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hooks_.push_back(std::move(hook));
}

std::string Registry::Render() {
  std::lock_guard<std::mutex> render_lock(render_mutex_);
  std::vector<ScrapeHook> hooks;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hooks = hooks_;
  }
  for (const ScrapeHook& hook : hooks) hook(*this);
  std::vector<const Family*> families;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [name, family] : families_) families.push_back(family.get());
  }
  std::string out;
  for (const Family* family : families) family->Render(out);
  return out;
}

}  // namespace metrics
