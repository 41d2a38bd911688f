// The service context: reporting, events, guard and the EnableIcon check.
#include "service/service_context.h"

#include "settings/reg_settings.h"
#include "service/message_catalogue.h"

namespace voltrane {

std::string LimitReportText(const std::string& text) {
  if (text.size() <= kMaxReportText) return text;
  size_t end = kMaxReportText;
  // Back off over continuation bytes so the cut never splits a character.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

CServiceContext::CServiceContext(EventSinkFactory sink_factory)
    : m_eventSource(std::move(sink_factory)) {}

bool CServiceContext::Init(const std::string& service_name, bool is_service,
                           ThreadMessageQueue* run_queue, bool console) {
  m_guard.Init(kScopeSystem);
  m_bService = is_service;
  m_runQueue = run_queue;
  m_bRegistered = false;
  m_bRegistered = m_eventSource.Register(service_name, console);
  m_hStopEvent.Reset();
  m_hPauseEvent.Reset();

  CRegKey key;
  if (key.Open(RegHive::kLocalMachine, kServiceKey) != kRegSuccess ||
      !key.DWORDValue("EnableIcon")) {
    LogEvent(EventType::kError, MSG_MISSING_CONFIGURATION);
    return false;
  }
  return true;
}

void CServiceContext::LogEvent(EventType type, uint32_t id) { Report(type, id, std::nullopt); }

void CServiceContext::LogEvent(EventType type, uint32_t id, const std::string& insertion) {
  Report(type, id, LimitReportText(insertion));
}

void CServiceContext::LogStatus(EventType type, const std::string& text) {
  Report(type, MSG_STATUS, LimitReportText(text));
}

void CServiceContext::Report(EventType type, uint32_t id,
                             const std::optional<std::string>& insertion) {
  if (!m_bRegistered) return;
  m_eventSource.Report(type, id, insertion);
}

void CServiceContext::PostToRunThread(uint32_t message) {
  if (m_runQueue) m_runQueue->Post(message);
}

}  // namespace voltrane
