#!/usr/bin/env python3
"""Validates tarvel-report output against docs/report.schema.json.

usage: check_report_json.py SCHEMA json|jsonl FILE
json: FILE holds one document; jsonl: each line is one file's object.
Exit 0 when valid, 1 with the errors on stderr, 77 when jsonschema is absent.
"""
import json
import sys

try:
    import jsonschema
except ImportError:
    sys.exit(77)

schema_path, kind, path = sys.argv[1:4]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft7Validator.check_schema(schema)
if kind == "jsonl":
    schema = {"$ref": "#/definitions/file", "definitions": schema["definitions"]}
validator = jsonschema.Draft7Validator(schema)
with open(path, encoding="utf-8") as f:
    text = f.read()
docs = [json.loads(line) for line in text.splitlines()] if kind == "jsonl" else [json.loads(text)]
errors = [e for d in docs for e in validator.iter_errors(d)]
for e in errors[:20]:
    print(f"{list(e.absolute_path)}: {e.message}", file=sys.stderr)
sys.exit(1 if errors else 0)
