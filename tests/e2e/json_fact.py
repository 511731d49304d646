"""The value of a Python expression over a JSON document, for the end-to-end tests.

Usage: json_fact.py DOCUMENT ANSWER EXPRESSION
Reads the document (UTF-8), checks it against the host's schema (host/output/
tunewell.schema.json), evaluates the expression over it (named d) and writes str() of the value
to ANSWER in UTF-8 -- or "<invalid JSON: ...>" when the document does not parse, "<not the
schema: ...>" when it breaks the schema -- then prints "done". Every JSON document the tests
read passes here, so each one is held to the schema. Files rather than pipes, so that a Windows
test under Wine can use it too. Needs python3-jsonschema.
"""
import json
import os
import sys

import jsonschema

SCHEMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'host', 'output',
                      'tunewell.schema.json')


def schema_error(d):
    with open(SCHEMA, 'rb') as schema_file:
        schema = json.load(schema_file)
    validator = jsonschema.Draft202012Validator(schema)
    errors = list(validator.iter_errors(d))
    if not errors:
        return None
    best = jsonschema.exceptions.best_match(errors)
    if best.validator == 'oneOf':
        # No command's definition matched: say what is wrong for this document's command.
        branches = {}
        for cause in best.context:
            branches.setdefault(cause.relative_schema_path[0], []).append(cause)
        meant = [causes for causes in branches.values()
                 if not any(list(cause.absolute_path) == ['command'] for cause in causes)]
        if meant:
            best = jsonschema.exceptions.best_match(min(meant, key=len))
    path = '/'.join(str(p) for p in best.absolute_path)
    return '<not the schema: %s at /%s>' % (best.message, path)


source, target, expression = sys.argv[1:4]
with open(source, 'rb') as document:
    data = document.read()
try:
    d = json.loads(data.decode('utf-8'))
except ValueError as error:
    answer = '<invalid JSON: %s>' % error
else:
    answer = schema_error(d) or str(eval(expression))
with open(target + '.part', 'wb') as out:
    out.write(answer.encode('utf-8'))
os.replace(target + '.part', target)
print('done', flush=True)
