// The catalogue table and the texts generated from it.
#include "service/message_catalogue.h"

#include <fmt/format.h>

#include <array>

#include "service/service_identity.h"

namespace voltrane {
namespace {

// The journal ids share one prefix; the last eight digits are the event id.
#define VOLTRANE_MESSAGE_ID(hex) "6e1f2b9c4d7a4f03a8c5d90b" hex

constexpr std::array<CatalogueEntry, 25> kCatalogue{{
    {0x40000000, "Status Message \"%1\"", VOLTRANE_MESSAGE_ID("40000000")},
    {0x40000001, "Service started successfully.", VOLTRANE_MESSAGE_ID("40000001")},
    {0x40000002, "Service successfully installed.", VOLTRANE_MESSAGE_ID("40000002")},
    {0x40000003, "Service successfully uninstalled.", VOLTRANE_MESSAGE_ID("40000003")},
    {0x40000004, "Service successfully stopped.", VOLTRANE_MESSAGE_ID("40000004")},
    {0x40000005, "Service successfully paused.", VOLTRANE_MESSAGE_ID("40000005")},
    {0x40000006, "Service successfully continued.", VOLTRANE_MESSAGE_ID("40000006")},
    {0x4000000B, "Service successfully shutdown.", VOLTRANE_MESSAGE_ID("4000000b")},
    {0x4000000C, "\"%1\" Single event fired.", VOLTRANE_MESSAGE_ID("4000000c")},
    {0x40000011, "Service attempting to stop.", VOLTRANE_MESSAGE_ID("40000011")},
    {0xC0000007, "Failed to connect to the Service Control Manager, ErrorCode:%1.",
     VOLTRANE_MESSAGE_ID("c0000007")},
    {0xC0000008, "Failed to create service, ErrorCode %1.", VOLTRANE_MESSAGE_ID("c0000008")},
    {0xC0000009, "Failed to open the service, ErrorCode:%1.", VOLTRANE_MESSAGE_ID("c0000009")},
    {0xC000000A, "Failed to delete the service, ErrorCode:%1.", VOLTRANE_MESSAGE_ID("c000000a")},
    {0xC000000D, "COM Initialization error %1.", VOLTRANE_MESSAGE_ID("c000000d")},
    {0xC000000E, "COM creation error %1.", VOLTRANE_MESSAGE_ID("c000000e")},
    {0xC000000F, "Service handler not installed, error %1.", VOLTRANE_MESSAGE_ID("c000000f")},
    {0xC0000010, "Unhandled service control request %1.", VOLTRANE_MESSAGE_ID("c0000010")},
    {0xC0000012, "No database connection information present.", VOLTRANE_MESSAGE_ID("c0000012")},
    {0xC0000013, "Initialization exception occurred.", VOLTRANE_MESSAGE_ID("c0000013")},
    {0xC0000014, "Database connection failed to initialize.", VOLTRANE_MESSAGE_ID("c0000014")},
    {0xC0000015, "Database connection successfully initialized.", VOLTRANE_MESSAGE_ID("c0000015")},
    {0xC0000016, "Database connection failed, unable to retrieve failure string.",
     VOLTRANE_MESSAGE_ID("c0000016")},
    {0xC0000017,
     "There is another instance of this application already running, either as a service or a "
     "stand alone EXE.",
     VOLTRANE_MESSAGE_ID("c0000017")},
    {0xC0000018, "Missing configuration, please run the Collector Service Manager.",
     VOLTRANE_MESSAGE_ID("c0000018")},
}};

#undef VOLTRANE_MESSAGE_ID

std::string ReplaceInsertion(const std::string& text, const std::string& insertion) {
  const size_t at = text.find("%1");
  if (at == std::string::npos) return text;
  return text.substr(0, at) + insertion + text.substr(at + 2);
}

}  // namespace

std::span<const CatalogueEntry> MessageCatalogue() { return kCatalogue; }

const CatalogueEntry* FindCatalogueEntry(uint32_t id) {
  for (const auto& entry : kCatalogue) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

std::string ExpandMessage(uint32_t id, const std::optional<std::string>& insertion) {
  const CatalogueEntry* entry = FindCatalogueEntry(id);
  if (!entry) {
    std::string text = fmt::format("Event 0x{:08X}", id);
    if (insertion) text += " " + *insertion;
    return text;
  }
  return ReplaceInsertion(entry->text, insertion.value_or(""));
}

std::string JournalCatalogText() {
  std::string text = fmt::format(
      "# Journal catalog of the {} (generated from its message catalogue).\n", kServiceName);
  for (const auto& entry : kCatalogue) {
    const bool error = (entry.id & 0xC0000000u) == 0xC0000000u;
    text += fmt::format(
        "\n-- {}\nSubject: {}\nDefined-By: {}\nSupport: man:journalctl(1)\n\n"
        "Event 0x{:08X} ({}) of the {}: {}\n",
        entry.message_id, ReplaceInsertion(entry.text, "@VOLTRANE_INSERTION@"), kSyslogIdentifier,
        entry.id, error ? "error" : "information", kServiceName,
        ReplaceInsertion(entry.text, "@VOLTRANE_INSERTION@"));
  }
  return text;
}

}  // namespace voltrane
