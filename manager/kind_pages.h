// What the wizard's pages show for each database kind beyond the connection
// form the kind's dialect names: the kind option's caption, the titles and
// captions of the file and server pages, and which fields of the wizard's
// state hold the kind's file path or server. One row per kind, read by kind;
// a kind the system does not know gets the Access and SQL Server texts, as
// the pages always showed. Immutable values: safe from any thread.
#ifndef VOLTRANE_MANAGER_KIND_PAGES_H_
#define VOLTRANE_MANAGER_KIND_PAGES_H_

#include <cstdint>
#include <string>

#include "manager/string_resources.h"
#include "manager/wizard_state.h"

namespace voltrane::manager {

struct KindPage {
  int option_caption = 0;
  // The file page.
  int file_title = res::kTitleAccess;
  int file_caption = res::kDatabase;
  int browse_title = res::kSelectAccessDatabase;
  int browse_filter = res::kAccessFilter;
  std::string ConnectionState::*file_path = &ConnectionState::access_path;
  // The server page.
  int server_title = res::kTitleSqlServer;
  ServerFields ConnectionState::*server = &ConnectionState::sql_server;
};

const KindPage& KindPageOf(int32_t kind);

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_KIND_PAGES_H_
