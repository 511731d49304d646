"""The value of a Python expression over a JSON document, for the end-to-end tests.

Usage: json_fact.py DOCUMENT ANSWER EXPRESSION
Reads the document (UTF-8), evaluates the expression over it (named d) and writes str() of the
value to ANSWER in UTF-8 -- or "<invalid JSON: ...>" when the document does not parse -- then
prints "done". Files rather than pipes, so that a Windows test under Wine can use it too.
"""
import json
import os
import sys

source, target, expression = sys.argv[1:4]
with open(source, 'rb') as document:
    data = document.read()
try:
    d = json.loads(data.decode('utf-8'))
except ValueError as error:
    answer = '<invalid JSON: %s>' % error
else:
    answer = str(eval(expression))
with open(target + '.part', 'wb') as out:
    out.write(answer.encode('utf-8'))
os.replace(target + '.part', target)
print('done', flush=True)
