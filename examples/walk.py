"""A Python client of the q6fdmgr module: load a document type's definition,
browse its records, lock one, change and save it, unlock it.

    python3 walk.py [DSN]   DSN defaults to "demo": run `q6fd demo` once in
                            the current folder first.
"""

import sys

import q6fdmgr

FIRST, CURRENT, NEXT = 0, 2, 3  # move modes
BY_ID = 7  # lock level: one record


def main():
    dsn = sys.argv[1] if len(sys.argv) > 1 else "demo"
    print("q6fdmgr", q6fdmgr.__version__)
    dm = q6fdmgr.Dispatch("Q6FDMgr.DataManager")

    receipt = dm.LoadEOMetaData(dsn, 51)
    print(f"type 51: {receipt.Caption} in table {receipt.SourceTable}, "
          f"{receipt.Fields.Count} fields")

    con = q6fdmgr.Dispatch("ADODB.Connection")
    con.Open(dsn)
    for mode in (FIRST, NEXT):
        if not dm.MoveTo(con, receipt, mode):
            break
        print(f"record {receipt.OID}: payer {receipt.Fields('payer').Value}, "
              f"amount {receipt.Fields('amount').Value}")

    oid = str(receipt.OID)
    locks = q6fdmgr.Dispatch("Q6FDMgr.LockManager")
    if not locks.LockIt(dsn, oid, "walker-py", "example-host", "example", BY_ID):
        sys.exit("LockIt returned False")
    print("locked", oid)

    # A save that changes nothing is refused: each run writes the other remark.
    remark = "checked by the Python example"
    if receipt.Fields("remark").Value == remark:
        remark = "checked again by the Python example"
    receipt.Fields("remark").Value = remark
    receipt.EditState = q6fdmgr.EditStateChanged
    print("Save ->", dm.Save(con, receipt))
    receipt.ChildEOs.Clear()
    dm.MoveTo(con, receipt, CURRENT)
    print("read back: remark", receipt.Fields("remark").Value)

    print("UnlockIt ->", locks.UnlockIt(dsn, oid, "walker-py", "example-host", "example", BY_ID))


if __name__ == "__main__":
    main()
