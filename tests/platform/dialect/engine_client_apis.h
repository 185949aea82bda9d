// The engines' C client functions these tests call, taken from the client
// libraries at run time.
//
// Test programs link the product's libraries, which keep the engine client
// libraries to themselves; a test that drives an engine directly (to stay
// independent of the data access layer) therefore looks its few functions
// up by name. The pointers have the exact types of the declarations in
// sqlite3.h and libpq-fe.h.
#pragma once

#include <dlfcn.h>
#include <postgresql/libpq-fe.h>
#include <sqlite3.h>

#include <string>

namespace q6::dialect_test {

#define Q6_CLIENT_FN(name) decltype(&::name) name = nullptr

struct SQLiteApi {
  Q6_CLIENT_FN(sqlite3_open);
  Q6_CLIENT_FN(sqlite3_close);
  Q6_CLIENT_FN(sqlite3_exec);
  Q6_CLIENT_FN(sqlite3_free);
  Q6_CLIENT_FN(sqlite3_errmsg);
  Q6_CLIENT_FN(sqlite3_prepare_v2);
  Q6_CLIENT_FN(sqlite3_step);
  Q6_CLIENT_FN(sqlite3_finalize);
  Q6_CLIENT_FN(sqlite3_changes);
  Q6_CLIENT_FN(sqlite3_column_count);
  Q6_CLIENT_FN(sqlite3_column_type);
  Q6_CLIENT_FN(sqlite3_column_text);
  Q6_CLIENT_FN(sqlite3_column_name);
  std::string error;  // empty when every function was found
};

struct PostgresApi {
  Q6_CLIENT_FN(PQconnectdb);
  Q6_CLIENT_FN(PQstatus);
  Q6_CLIENT_FN(PQerrorMessage);
  Q6_CLIENT_FN(PQfinish);
  Q6_CLIENT_FN(PQexec);
  Q6_CLIENT_FN(PQresultStatus);
  Q6_CLIENT_FN(PQresultErrorMessage);
  Q6_CLIENT_FN(PQclear);
  Q6_CLIENT_FN(PQntuples);
  Q6_CLIENT_FN(PQnfields);
  Q6_CLIENT_FN(PQgetisnull);
  Q6_CLIENT_FN(PQgetvalue);
  Q6_CLIENT_FN(PQcmdTuples);
  Q6_CLIENT_FN(PQfname);
  std::string error;
};

#undef Q6_CLIENT_FN

namespace detail {

// Looks up `name` in `lib` into `*fn`; notes the first failure in `*error`.
template <typename Fn>
void Bind(void* lib, const char* name, Fn* fn, std::string* error) {
  if (lib != nullptr) *fn = reinterpret_cast<Fn>(dlsym(lib, name));
  if (*fn == nullptr && error->empty()) *error = std::string("missing ") + name;
}

inline void* OpenLibrary(const char* file, std::string* error) {
  void* lib = dlopen(file, RTLD_NOW | RTLD_GLOBAL);  // kept open for the process
  if (lib == nullptr) *error = dlerror();
  return lib;
}

}  // namespace detail

#define Q6_BIND(api, lib, name) detail::Bind(lib, #name, &api.name, &api.error)

// The functions, looked up once per process; check `error` before use.
inline const SQLiteApi& SQLiteClient() {
  static const SQLiteApi api = [] {
    SQLiteApi a;
    void* lib = detail::OpenLibrary("libsqlite3.so.0", &a.error);
    Q6_BIND(a, lib, sqlite3_open);
    Q6_BIND(a, lib, sqlite3_close);
    Q6_BIND(a, lib, sqlite3_exec);
    Q6_BIND(a, lib, sqlite3_free);
    Q6_BIND(a, lib, sqlite3_errmsg);
    Q6_BIND(a, lib, sqlite3_prepare_v2);
    Q6_BIND(a, lib, sqlite3_step);
    Q6_BIND(a, lib, sqlite3_finalize);
    Q6_BIND(a, lib, sqlite3_changes);
    Q6_BIND(a, lib, sqlite3_column_count);
    Q6_BIND(a, lib, sqlite3_column_type);
    Q6_BIND(a, lib, sqlite3_column_text);
    Q6_BIND(a, lib, sqlite3_column_name);
    return a;
  }();
  return api;
}

inline const PostgresApi& PostgresClient() {
  static const PostgresApi api = [] {
    PostgresApi a;
    void* lib = detail::OpenLibrary("libpq.so.5", &a.error);
    Q6_BIND(a, lib, PQconnectdb);
    Q6_BIND(a, lib, PQstatus);
    Q6_BIND(a, lib, PQerrorMessage);
    Q6_BIND(a, lib, PQfinish);
    Q6_BIND(a, lib, PQexec);
    Q6_BIND(a, lib, PQresultStatus);
    Q6_BIND(a, lib, PQresultErrorMessage);
    Q6_BIND(a, lib, PQclear);
    Q6_BIND(a, lib, PQntuples);
    Q6_BIND(a, lib, PQnfields);
    Q6_BIND(a, lib, PQgetisnull);
    Q6_BIND(a, lib, PQgetvalue);
    Q6_BIND(a, lib, PQcmdTuples);
    Q6_BIND(a, lib, PQfname);
    return a;
  }();
  return api;
}

#undef Q6_BIND

}  // namespace q6::dialect_test
