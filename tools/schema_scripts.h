// The schema/ SQL scripts compiled into the program (generated at build time
// by tools/embed_sql_scripts.cmake): the shop-floor schema for SQLite and
// PostgreSQL and the demo plant. Immutable data; thread-safe.
#ifndef VOLTRANE_TOOLS_SCHEMA_SCRIPTS_H_
#define VOLTRANE_TOOLS_SCHEMA_SCRIPTS_H_

// The text of the script with that file name ("sqlite.sql", "postgresql.sql",
// "demo_plant.sql", "demo_plant_postgresql_tail.sql"), or nullptr.
const char* EmbeddedSqlScript(const char* file_name);

#endif  // VOLTRANE_TOOLS_SCHEMA_SCRIPTS_H_
