// One metadata save and the saves of its children, as one unit of work.
//
// SaveEOMetaData saves an entity's child by calling itself through the
// object's interface, and the child saves its own child the same way. All of
// it must stand or fall together: a child that fails rolls back its parent
// too. So the outermost save registers a SaveUnit on its thread for the
// length of its transaction, and a save that finds one open for the same
// data source joins it: it works on the unit's connection inside the unit's
// transaction, neither begins, commits nor rolls back, and leaves the
// connection pool alone (a second connection would wait for the first one's
// write lock on SQLite until its busy timeout).
//
// A thread-local marker suffices: the component's objects are called on
// their own thread only, and a child's save nests strictly inside its
// parent's on the same thread.
#pragma once

#include <memory>
#include <string>

#include "runtime/variant.h"

namespace q6 {

class Connection;

class SaveUnit {
 public:
  // Registers the unit for `data_source` on this thread until destruction;
  // a unit already registered (for another data source) is hidden until
  // then. Raises what converting `data_source` to text raises (94 for Null),
  // registering nothing.
  // REQUIRES: `con` is open; units end in the reverse order of their
  // construction.
  SaveUnit(std::shared_ptr<Connection> con, const Variant& data_source);
  // Unregisters; the connection reference it held goes with it.
  ~SaveUnit();
  SaveUnit(const SaveUnit&) = delete;
  SaveUnit& operator=(const SaveUnit&) = delete;

  // The unit a save for `data_source` on this thread must join; nullptr when
  // none is open here or the innermost one serves another data source
  // (compared as texts). Raises as the constructor for an open unit and a
  // `data_source` that has no text.
  static SaveUnit* Joinable(const Variant& data_source);

  Connection& connection() const { return *con_; }
  // The connection as recordsets take it (ActiveConnection).
  Variant connection_variant() const;

  // A save inside the unit found its caption taken. The outermost save
  // shows the message once, after the rollback, so that nobody waits for a
  // person to read it while the save's locks are held.
  void NoteDuplicateCaption() { duplicate_caption_ = true; }
  bool duplicate_caption() const { return duplicate_caption_; }

 private:
  std::shared_ptr<Connection> con_;
  std::string data_source_;
  SaveUnit* hidden_;
  bool duplicate_caption_ = false;
};

}  // namespace q6
