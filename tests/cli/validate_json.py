"""Validates the JSON document on standard input against the schema file
named as the argument; prints why and exits 1 when it does not conform."""

import json
import sys

import jsonschema

with open(sys.argv[1], encoding="utf-8") as f:
    schema = json.load(f)
try:
    document = json.load(sys.stdin)
    jsonschema.validate(document, schema)
except (ValueError, jsonschema.ValidationError) as e:
    print(str(e).splitlines()[0], file=sys.stderr)
    sys.exit(1)
