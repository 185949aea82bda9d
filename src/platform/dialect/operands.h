// Finding the operands of an operator on the token list, for the rewrites
// that have to wrap an operand or turn an operator into a call.
//
// An operand is read as a run of units joined by operators that bind at
// least as tightly as the one in question. A unit is a name (possibly
// qualified), a number, a string (with its N), a parenthesized group, a call
// (name and group), CASE ... END, or one of these behind unary signs.
// Keywords (AND, FROM, LIKE, THEN, ...), commas and comparison signs end an
// operand; so do two units with no operator between them ("top 5 x").
#pragma once

#include <cstddef>
#include <vector>

#include "platform/dialect/editable_sql.h"

namespace q6::dialect {

class Operands {
 public:
  Operands() = default;
  // Takes `sql` (parsed; it must outlive the use of this object), keeping
  // the buffers of the statement before.
  void Reset(const EditableSql& sql);

  // The first token of the operand that ends just before token `op`, or
  // kNone when there is none. `additive`: + and - belong to the operand (the
  // operand of a comparison or LIKE); otherwise only * / % || & | ^ and ::.
  size_t StartBefore(size_t op, bool additive) const;
  // The last token of the operand that starts just after token `op`.
  size_t EndAfter(size_t op, bool additive) const;

  // Whether + or - at `i` is binary (it follows the end of an operand).
  bool IsBinarySign(size_t i) const;
  // Whether * / or % at `i` is a binary operator (not count(*), t.*, select *).
  bool IsBinaryProduct(size_t i) const;
  // The first token of the unit that ends at `last`, or kNone.
  size_t UnitStart(size_t last) const;
  // The last token of the unit that starts at `first`, or kNone.
  size_t UnitEnd(size_t first) const;
  // Whether token i is a word that ends an operand (AND, FROM, THEN, ...).
  bool IsKeyword(size_t i) const;
  // Whether the name at `i` is directly followed by "(" and is no keyword.
  bool IsCall(size_t i) const;
  // The END of the CASE at i, or the CASE of the END at i; kNone otherwise.
  size_t CasePartner(size_t i) const { return i < case_partner_.size() ? case_partner_[i] : kNone; }

 private:
  bool EndsOperand(size_t i) const;
  bool JoinsUnits(size_t i, bool additive) const;

  const EditableSql& S() const { return *sp_; }

  const EditableSql* sp_ = nullptr;
  std::vector<size_t> case_partner_;  // empty when the statement has no CASE
  std::vector<size_t> open_;          // Reset's stack of open CASEs
};

}  // namespace q6::dialect
