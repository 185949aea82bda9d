"""Dispatch proxies on the entity objects: properties as attributes, methods
and named arguments, collections, default members, identity, errors and
apartments."""

import unittest

import q6fdmgr as q
from support import (
    DISP_E_BADPARAMCOUNT,
    DISP_E_PARAMNOTFOUND,
    DISP_E_UNKNOWNNAME,
    RPC_E_WRONG_THREAD,
    VB_INVALID_PROCEDURE_CALL,
    VB_OVERFLOW,
    ComTestCase,
    hresult,
    raised_in_thread,
    requires,
)


def new_field(name, value=None):
    f = q.Dispatch("Q6FDEso.EntityField")
    f.Name = name
    if value is not None:
        f.Value = value
    return f


def entity_with_fields(*names):
    eo = q.Dispatch("Q6FDEso.EntityObject")
    for n in names:
        eo.Fields.Add(new_field(n))
    return eo


@requires("Q6FDEso.EntityObject", "Q6FDEso.EntityField")
class AttributeTest(ComTestCase):
    def test_properties_read_and_write_as_attributes(self):
        eo = q.Dispatch("Q6FDEso.EntityObject")
        eo.Name = "Voucher"
        eo.SourceTable = "FD_Voucher"
        eo.EditState = 2
        self.assertEqual((eo.Name, eo.SourceTable, eo.EditState), ("Voucher", "FD_Voucher", 2))
        eo.name = "any case"  # member names match without regard to case
        self.assertEqual(eo.NAME, "any case")

    def test_a_put_that_fails_raises_and_keeps_the_value(self):
        f = new_field("code")
        f.Length = 12
        self.assertComError(VB_OVERFLOW, setattr, f, "Length", 300)  # Byte member
        self.assertEqual(f.Length, 12)

    def test_methods_and_indexed_properties_come_back_callable(self):
        eo = entity_with_fields("code")
        for member in (eo.Clone, eo.Fields.Item, eo.Fields.Add, eo.Fields.Clear):
            self.assertTrue(callable(member))
        self.assertIn("Item", repr(eo.Fields.Item))
        self.assertIn("Index", repr(eo.Fields.Item))  # the signature
        clone = eo.Clone()
        self.assertNotEqual(clone, eo)
        self.assertEqual([f.Name for f in clone.Fields], ["code"])

    def test_named_arguments_in_any_case(self):
        eo = entity_with_fields("code", "name")
        code = eo.Fields.Item("code")
        self.assertEqual(eo.Fields.Item(index="CODE", MODE=0), code)
        self.assertEqual(eo.Fields.Item("code", mode=0), code)
        self.assertEqual(eo.Clone(mode=0).Fields.Count, 2)

    def test_bad_calls_raise_dispatch_errors(self):
        eo = entity_with_fields("code")
        rows = [
            (DISP_E_PARAMNOTFOUND, lambda: eo.Fields.Item("code", nosuch=1)),
            (DISP_E_BADPARAMCOUNT, lambda: eo.Fields.Item("code", 0, 1)),
            (DISP_E_BADPARAMCOUNT, lambda: eo.Fields.Item()),
            (DISP_E_BADPARAMCOUNT, lambda: eo.Fields.Item("code", index="code")),
            (VB_INVALID_PROCEDURE_CALL, lambda: eo.Fields.Item("nosuch")),
        ]
        for expected, call in rows:
            with self.subTest(hex(expected)):
                self.assertComError(expected, call)

    def test_unknown_names_raise_unknown_name(self):
        eo = q.Dispatch("Q6FDEso.EntityObject")
        e = self.assertComError(DISP_E_UNKNOWNNAME, getattr, eo, "NoSuchMember")
        self.assertIn("NoSuchMember", e.description)
        self.assertComError(DISP_E_UNKNOWNNAME, setattr, eo, "NoSuchMember", 1)
        # Also an AttributeError, so the Python protocols work.
        self.assertFalse(hasattr(eo, "NoSuchMember"))
        self.assertEqual(getattr(eo, "NoSuchMember", "fallback"), "fallback")
        self.assertTrue(hasattr(eo, "Fields"))

    def test_dir_lists_the_interface(self):
        names = dir(q.Dispatch("Q6FDEso.EntityObject"))
        for n in ("Fields", "ChildEOs", "OID", "EditState", "Clone", "SourceTable"):
            self.assertIn(n, names)
        self.assertEqual(len(names), len(set(names)), "a get/put pair is listed once")

    def test_repr_names_the_interface(self):
        eo = q.Dispatch("Q6FDEso.EntityObject")
        self.assertRegex(repr(eo), r"^<q6fdmgr\.Dispatch _EntityObject at 0x[0-9a-f]+>$")
        self.assertIn("_EntityFields", repr(eo.Fields))


@requires("Q6FDEso.EntityObject", "Q6FDEso.EntityField")
class CollectionTest(ComTestCase):
    def test_fields_add_item_and_iterate_in_order(self):
        names = ["code", "Name", "amount", "date"]
        eo = entity_with_fields(*names)
        self.assertEqual(eo.Fields.Count, 4)
        self.assertEqual([f.Name for f in eo.Fields], names)
        self.assertEqual(eo.Fields.Item("AMOUNT", 0).Name, "amount")
        self.assertEqual(eo.Fields.Item(2).Name, "Name")  # 1-based position
        self.assertEqual(list(eo.Fields), [eo.Fields.Item(n) for n in names])

    def test_calling_a_collection_calls_its_default_member(self):
        eo = entity_with_fields("code", "name")
        self.assertEqual(eo.Fields("name"), eo.Fields.Item("name"))

    def test_iterating_a_non_collection_fails(self):
        with self.assertRaises(q.ComError):
            iter(q.Dispatch("Q6FDEso.EntityField"))

    def test_child_records_and_child_definition(self):
        eo = q.Dispatch("Q6FDEso.EntityObject")
        child_def = q.Dispatch("Q6FDEso.EntityObject")
        eo.ChildEOs.ChildEO = child_def  # put by reference
        self.assertEqual(eo.ChildEOs.ChildEO, child_def)
        eo.ChildEOs.ChildEO = None  # Nothing
        self.assertIsNone(eo.ChildEOs.ChildEO)
        rows = [q.Dispatch("Q6FDEso.EntityObject") for _ in range(3)]
        for i, r in enumerate(rows):
            eo.ChildEOs.Add(r, "K%d" % i)
        self.assertEqual(list(eo.ChildEOs), rows)
        self.assertEqual(eo.ChildEOs("k1"), rows[1])


@requires("Q6FDEso.EntityObject", "Q6FDEso.EntityField")
class DefaultMemberAndIdentityTest(ComTestCase):
    def test_str_and_call_go_through_the_default_member(self):
        eo = q.Dispatch("Q6FDEso.EntityObject")
        eo.OID = "510000000000001"
        self.assertEqual(str(eo.OID), "510000000000001")
        self.assertEqual(eo.OID(), "510000000000001")
        f = new_field("amount", 12.5)
        self.assertEqual(str(f), "12.5")
        f.Value = True
        self.assertEqual(str(f), "True")

    def test_identifiers_stand_for_their_text(self):
        # OID and ParentOID are the entity's own OIDObjects; their default
        # member Value is what formatting, comparing and str() see.
        for member in ("OID", "ParentOID"):
            with self.subTest(member=member):
                eo = q.Dispatch("Q6FDEso.EntityObject")
                held = getattr(eo, member)
                held.Value = "510000000000001"  # written through the entity's object
                self.assertEqual(getattr(eo, member).Value, "510000000000001")
                self.assertEqual(getattr(eo, member), held)  # the same object
                self.assertEqual(held, "510000000000001")
                self.assertNotEqual(held, "510000000000002")
                self.assertEqual(str(held), "510000000000001")
                self.assertEqual(f"{held}|{held:>16}|{held:.2}",
                                 "510000000000001| 510000000000001|51")
                setattr(eo, member, 7)  # a plain put writes the text of the held object
                self.assertEqual(held.Value, "7")
                self.assertEqual(held, "7")
                self.assertNotEqual(held, 7)  # the text, not a number
        f = new_field("amount", 12.5)
        self.assertEqual(f"{f:.2f}", "12.50")
        self.assertEqual(f, 12.5)

    def test_str_without_a_usable_default_member_is_the_repr(self):
        eo = entity_with_fields("code")
        self.assertEqual(str(eo), repr(eo))
        self.assertEqual(str(eo.Fields), repr(eo.Fields))  # Item needs an index

    def test_equality_is_identity_of_the_object(self):
        eo = entity_with_fields("a", "b")
        a1, a2, b = eo.Fields.Item("a"), eo.Fields("A"), eo.Fields.Item("b")
        self.assertIsNot(a1, a2)  # two proxies ...
        self.assertEqual(a1, a2)  # ... of one object
        self.assertEqual(hash(a1), hash(a2))
        self.assertNotEqual(a1, b)
        self.assertEqual(eo.Fields, eo.Fields)
        self.assertNotEqual(a1, "a")
        self.assertEqual(len({a1, a2, b}), 2)

    def test_edit_state_one_clears_changed(self):
        eo = entity_with_fields("code")
        f = eo.Fields.Item("code")
        f.Value = "x"
        self.assertIs(f.Changed, True)
        eo.EditState = 1
        self.assertIs(f.Changed, False)
        self.assertEqual(eo.EditState, 1)


@requires("Q6FDEso.EntityObject", "Q6FDEso.EntityField")
class ApartmentTest(ComTestCase):
    def test_calls_from_another_thread_fail_with_wrong_thread(self):
        eo = entity_with_fields("code")
        eo.OID = "510000000000001"
        fields = eo.Fields
        oid = eo.OID
        actions = {
            "property get": lambda: eo.Name,
            "property put": lambda: setattr(eo, "Name", "x"),
            "method": lambda: fields.Item("code"),
            "default member": lambda: fields("code"),
            "str": lambda: str(oid),
            "iteration": lambda: list(fields),
        }
        for what, action in actions.items():
            with self.subTest(what):
                e = raised_in_thread(action)
                self.assertIsInstance(e, q.ComError)
                self.assertEqual(hex(hresult(e)), hex(RPC_E_WRONG_THREAD))
        self.assertEqual(eo.Name, "")  # the put from the other thread did nothing
        self.assertEqual(str(oid), "510000000000001")

    def test_objects_created_in_a_thread_work_there(self):
        def work():
            eo = entity_with_fields("x")
            eo.Name = "mine"
            if eo.Name != "mine" or [f.Name for f in eo.Fields] != ["x"]:
                raise AssertionError("object misbehaved in its own thread")

        self.assertIsNone(raised_in_thread(work))


if __name__ == "__main__":
    unittest.main()
