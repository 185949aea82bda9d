// A client of the installed library: load a document type's definition,
// browse its records, lock one, change and save it, unlock it.
//
//   walk [DSN]     DSN defaults to "demo": run `q6fd demo` once in the
//                  current folder first; it writes q6fd.ini and a SQLite
//                  database with sample documents.
//
// Build against an installed prefix: see CMakeLists.txt here, or
//   g++ -std=c++20 walk.cpp $(pkg-config --cflags --libs q6fd)
#include <q6fd/q6fd.h>

#include <iostream>
#include <string>

namespace {

// A field's value as text; "" for Null.
std::string FieldText(const q6::EntityObject& eo, const char* name) {
  q6::Variant v = eo.Fields()->Item(name)->Value();
  return v.IsNull() ? "" : v.ToString();
}

}  // namespace

int main(int argc, char** argv) try {
  const std::string dsn = argc > 1 ? argv[1] : "demo";
  q6fd::DataManager dm;

  // Load: the definition of document type 51 and its fields.
  auto receipt = q6::As<q6::EntityObject>(dm.LoadEOMetaData(dsn, 51));
  std::cout << "type 51: " << receipt->Caption() << " in table " << receipt->SourceTable() << ", "
            << receipt->Fields()->Count() << " fields\n";

  // Browse: the first records, in key order.
  auto con = q6::As<q6::Connection>(q6::CreateObject("ADODB.Connection"));
  con->Open(dsn);
  for (int32_t mode : {q6::enum_First, q6::enum_Next}) {
    if (!dm.MoveTo(con, receipt, mode)) break;
    std::cout << "record " << receipt->OID()->Value() << ": payer " << FieldText(*receipt, "payer")
              << ", amount " << FieldText(*receipt, "amount") << "\n";
  }

  // Lock the current record before changing it; a conflicting lock raises.
  const std::string oid = receipt->OID()->Value();
  q6fd::LockManager locks;
  if (!locks.LockIt(dsn, oid, "walker", "example-host", "example"))
    throw q6::ComError(q6::E_FAIL, "LockIt returned False");
  std::cout << "locked " << oid << "\n";

  // Save: only the changed field is written (a save that changes nothing
  // is refused, so each run writes the other of two remarks).
  const char* remark = FieldText(*receipt, "remark") == "checked by the example"
                           ? "checked again by the example"
                           : "checked by the example";
  receipt->Fields()->Item("remark")->SetValue(remark);
  receipt->SetEditState(int32_t{q6::kEditStateChanged});
  std::cout << "Save -> " << (dm.Save(con, receipt) ? "True" : "False") << "\n";
  receipt->ChildEOs()->Clear();
  dm.MoveTo(con, receipt, q6::enum_Current);
  std::cout << "read back: remark " << FieldText(*receipt, "remark") << "\n";

  // Unlock.
  std::cout << "UnlockIt -> "
            << (locks.UnlockIt(dsn, oid, "walker", "example-host", "example") ? "True" : "False")
            << "\n";
  return 0;
} catch (const q6::ComError& e) {
  std::cerr << "walk: " << q6::HrToString(e.hr()) << " " << e.description() << "\n";
  return 1;
}
