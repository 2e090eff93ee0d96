#!/usr/bin/env python3
"""Fetches the customers (provider pKh) of an account set, changes one
customer's phone number, sends the change back as a delta and reads it
back from the server.

    PYTHONPATH=clients/python:build/clients/python \\
        python3 clients/python/examples/fetch_and_apply.py [--account-set Sample] [--phone 010-5555]

The endpoint and token come from RVZ_ENDPOINT and RVZ_TOKEN, as for quib.
"""

import argparse
import sys

from rovezevu import EMPTY, Delta, Session, decode_packet, read_error_packet

OPT_METADATA = 1  # AS_GetRecords Options: describe the columns fully (PROVFLAGS), as a delta needs


def fetch(datas, provider):
    """Every row of a provider's dataset, with its column descriptions."""
    reply = datas.invoke("AS_GetRecords", provider, -1, EMPTY, OPT_METADATA, "", EMPTY, EMPTY)
    return decode_packet(reply.result)


def apply(datas, provider, delta, max_errors=0):
    """Sends a delta; returns the failed records (empty when all were written)."""
    reply = datas.invoke("AS_ApplyUpdates", provider, delta.encode(), max_errors, EMPTY, EMPTY)
    return [] if reply.result is None else read_error_packet(reply.result)


def change_phone(session, account_set, new_phone, out=sys.stdout):
    """The example itself; returns the phone number read back."""
    datas = session.create("Quib.datas")
    try:
        if datas.invoke("ConnectAct", 0, "", account_set, "", "").result != 0:
            raise RuntimeError(f"the account set {account_set} could not be opened")
        customers = fetch(datas, "pKh")
        first = customers.records()[0]
        print(f"{len(customers.rows)} customers; {first['MC']} has phone {first['DH']}", file=out)

        delta = Delta(customers)
        delta.modify(0, {"DH": new_phone})
        failed = apply(datas, "pKh", delta)
        for e in failed:
            print(f"record {e.record_no} failed: {e.message}", file=out)
        if failed:
            raise RuntimeError("the change was not written")

        again = fetch(datas, "pKh")
        row = next(r for r in again.records() if r["ID"] == first["ID"])
        print(f"{row['MC']} now has phone {row['DH']}", file=out)
        return row["DH"]
    finally:
        datas.release()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--account-set", default="Sample")
    ap.add_argument("--phone", default="010-88886666")
    args = ap.parse_args()
    with Session() as s:
        change_phone(s, args.account_set, args.phone)


if __name__ == "__main__":
    main()
