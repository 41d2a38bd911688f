// Whether connections keep what they learn about the database between
// statements: the primary keys of tables (Connection) and prepared statements
// with their column descriptions (SqliteBackend). On by default; switched off
// only to check that the caches change nothing but speed (the same drain with
// and without them leaves the same rows). Read when a connection opens;
// thread-safe.
#ifndef VOLTRANE_DBACCESS_METADATA_CACHING_H_
#define VOLTRANE_DBACCESS_METADATA_CACHING_H_

namespace dbaccess {

void SetMetadataCaching(bool on);
bool MetadataCaching();

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_METADATA_CACHING_H_
