// The data sources a console serves, as the command line named them.
//
// Pages name a data source by its position ("ds=0"), never by its text: a
// connection string may carry a password, and only the sources given at
// start can be reached. Connections come from the apartment's pool of the
// thread that serves requests, as every client of the component gets them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace q6 {
class EntityObject;
}

namespace q6::console {

class DataSources {
 public:
  // Resolves every name (raises what ResolveDataSource raises, naming the
  // one that failed). Opens nothing.
  explicit DataSources(std::vector<std::string> dsns);

  size_t size() const { return dsns_.size(); }
  // REQUIRES: i < size().
  const std::string& dsn(size_t i) const { return dsns_.at(i); }
  // How pages show source `i`: its section name, or the connection string
  // without the password.
  const std::string& label(size_t i) const { return labels_.at(i); }

  // Opens source `i` and checks that it has the metadata tables; raises a
  // ComError saying what is missing. For the start, so that a wrong name
  // fails before the console listens.
  void Check(size_t i) const;

  // Document type `bitype` of source `i` with its child types
  // (LoadEOMetaData); NotFoundError when the type is not defined.
  std::shared_ptr<EntityObject> LoadType(size_t i, int32_t bitype) const;

 private:
  std::vector<std::string> dsns_, labels_;
};

}  // namespace q6::console
