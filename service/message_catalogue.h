// The message catalogue of the collector service: every event id it reports,
// with its text, severity and the journal MESSAGE_ID that stands for it.
//
// Texts carry "%1" where the report supplies its one insertion string.
// ExpandMessage puts the insertion in literally (a "%" inside it is not
// interpreted). The journal catalog file installed with the service is
// generated from this table. Pure data and functions; thread-safe.
#ifndef VOLTRANE_SERVICE_MESSAGE_CATALOGUE_H_
#define VOLTRANE_SERVICE_MESSAGE_CATALOGUE_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace voltrane {

// Event ids reported by the service.
inline constexpr uint32_t MSG_STATUS = 0x40000000;
inline constexpr uint32_t MSG_SERVICE_STARTED = 0x40000001;
inline constexpr uint32_t MSG_SERVICE_STOPPED = 0x40000004;
inline constexpr uint32_t MSG_SERVICE_STOPPING = 0x40000011;
inline constexpr uint32_t MSG_SCM_CONNECT_FAILED = 0xC0000007;
inline constexpr uint32_t MSG_CREATE_SERVICE_FAILED = 0xC0000008;
inline constexpr uint32_t MSG_OPEN_SERVICE_FAILED = 0xC0000009;
inline constexpr uint32_t MSG_DELETE_SERVICE_FAILED = 0xC000000A;
inline constexpr uint32_t MSG_COM_CREATION_ERROR = 0xC000000E;
inline constexpr uint32_t MSG_HANDLER_NOT_INSTALLED = 0xC000000F;
inline constexpr uint32_t MSG_UNHANDLED_CONTROL = 0xC0000010;
inline constexpr uint32_t MSG_NO_CONNECTION_INFO = 0xC0000012;
inline constexpr uint32_t MSG_INIT_EXCEPTION = 0xC0000013;
inline constexpr uint32_t MSG_CONNECTION_FAILED_INIT = 0xC0000014;
inline constexpr uint32_t MSG_CONNECTION_INITIALIZED = 0xC0000015;
inline constexpr uint32_t MSG_CONNECTION_FAILED_NO_TEXT = 0xC0000016;
inline constexpr uint32_t MSG_ANOTHER_INSTANCE = 0xC0000017;
inline constexpr uint32_t MSG_MISSING_CONFIGURATION = 0xC0000018;

struct CatalogueEntry {
  uint32_t id;
  const char* text;
  const char* message_id;  // 128-bit journal id, 32 lower-case hex digits
};

// All entries, in id order, including those the service never reports.
std::span<const CatalogueEntry> MessageCatalogue();
const CatalogueEntry* FindCatalogueEntry(uint32_t id);

// The entry's text with "%1" replaced by `insertion` as it stands. An id not
// in the catalogue gives "Event 0x<id>" followed by the insertion, if any.
std::string ExpandMessage(uint32_t id, const std::optional<std::string>& insertion);

// The journal catalog file (journalctl --update-catalog) for the catalogue.
std::string JournalCatalogText();

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_MESSAGE_CATALOGUE_H_
