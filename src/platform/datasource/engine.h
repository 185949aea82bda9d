// The database engines a data source can name.
#pragma once

namespace q6 {

enum class Engine { SQLite, PostgreSQL };

}  // namespace q6
