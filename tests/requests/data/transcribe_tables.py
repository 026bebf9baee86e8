#!/usr/bin/env python3
"""Transcribes the request tables (markdown) into request_tables.json.

Usage: transcribe_tables.py <tables.md> [out.json]

Reads every "**Module ...**" heading and the table rows under it, and writes one record per
request function: its name, method, proto file, the parameters it takes and the fields it sets,
each field with its kind and either the parameter that feeds it or the rule that computes it.
Every note in brackets must be one the catalogue's vocabulary knows; anything else stops the
script, so the transcription never guesses.
"""
import json
import re
import sys

KINDS = ["text list", "text item", "int item", "int list", "int64", "text", "int", "bool"]
PARAM_KINDS = {"text": "text", "int": "int", "int64": "int64", "bool": "bool",
               "text list": "text list"}


def split_top(text, sep=","):
    """Splits at sep outside brackets and backticks."""
    parts, depth, tick, cur = [], 0, False, ""
    for ch in text:
        if ch == "`":
            tick = not tick
        elif not tick and ch == "(":
            depth += 1
        elif not tick and ch == ")":
            depth -= 1
        if ch == sep and depth == 0 and not tick:
            parts.append(cur.strip())
            cur = ""
        else:
            cur += ch
    if cur.strip():
        parts.append(cur.strip())
    return parts


def parse_rule(note, fail):
    """Turns the bracketed note of a field into a rule."""
    if note is None:
        return {}
    conditions = {"only when not empty": "notEmpty", "only when > 0": "positive",
                  "only when not 0": "notZero", "only when not -1": "notMinusOne"}
    if note in conditions:
        return {"condition": conditions[note]}
    m = re.fullmatch(r'always "(.*)"', note)
    if m:
        return {"value": m.group(1)}
    if note == "always empty":
        return {"value": ""}
    if note in ("always true", "always false"):
        return {"value": note == "always true"}
    m = re.fullmatch(r"always (-?\d+)", note)
    if m:
        return {"value": int(m.group(1))}
    if note == "decimal text of the integer parameter":
        return {"transform": "decimal"}
    if re.fullmatch(r"the \w+ text read as a base-10 integer; 0 when it is not a number", note):
        return {"transform": "toInt"}
    m = re.fullmatch(r"(\d+) when (the flag|parameter (\d+)) is true, else (\d+)", note)
    if m:
        rule = {"transform": "flag", "ifTrue": int(m.group(1)), "ifFalse": int(m.group(4))}
        rule["sourceIndex" if m.group(3) else "sourceName"] = (
            int(m.group(3)) if m.group(3) else "flag")
        return rule
    m = re.fullmatch(r"parameter (\d+)", note)
    if m:
        return {"sourceIndex": int(m.group(1))}
    m = re.fullmatch(r"number of entries in the list of parameter (\d+); "
                     r"the entries themselves are not sent", note)
    if m:
        return {"transform": "length", "sourceIndex": int(m.group(1))}
    if note == "the parameter passed through `urlDecode`":
        return {"transform": "urlDecode"}
    if note == "each text of the list, in list order":
        return {"transform": "each"}
    if note.startswith("one empty text when the record has no image entries"):
        return {"transform": "reportImages"}
    fail("unknown note: " + note)


def parse_field(text, fail):
    m = re.fullmatch(r"`([^`]+)` (.+?)(?: \((.*)\))?", text)
    if not m:
        fail("bad field: " + text)
    name, kind, note = m.group(1), m.group(2), m.group(3)
    if kind not in KINDS:
        fail("bad kind: " + kind)
    field = {"name": name, "kind": kind}
    field.update(parse_rule(note, fail))
    return field


def parse_parameters(text, fail):
    params = []
    for i, item in enumerate(re.split(r"(?:, )?(?=\b\d+\. )", text.strip())):
        item = item.strip()
        if not item:
            continue
        m = re.fullmatch(r"(\d+)\. (.*)", item)
        if not m or int(m.group(1)) != len(params) + 1:
            fail("bad parameter: " + item)
        body = m.group(2)
        m = re.fullmatch(r"(\w+) \(([\w ]+)\)", body)
        if m and m.group(2) in PARAM_KINDS:
            params.append({"name": m.group(1), "kind": PARAM_KINDS[m.group(2)]})
        elif re.fullmatch(r"a (mode )?flag \(bool\)", body):
            params.append({"name": "flag" if not body.startswith("a mode") else "modeFlag",
                           "kind": "bool"})
        elif body.startswith("a list (its length only is used)"):
            params.append({"name": "list", "kind": "list"})
        elif body.startswith("one `UserWarnReport` record"):
            params.append({"name": "report", "kind": "record"})
        elif body.startswith("a second text"):
            params.append({"name": "second", "kind": "text", "namesExtraField": True})
        else:
            fail("bad parameter: " + item)
    return params


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
    out = sys.argv[2] if len(sys.argv) > 2 else "request_tables.json"
    functions, modules, module, lineno = [], {}, None, 0

    def fail(msg):
        sys.exit("line %d: %s" % (lineno, msg))

    for lineno, line in enumerate(lines, 1):
        m = re.match(r'\*\*Module "(\w+)"\*\* \(proto file "([\w.]+)"; (\d+) requests?\)', line)
        if m:
            module = m.group(1)
            if m.group(2) != module + ".proto":
                fail("proto file name")
            modules[module] = {"protoFile": m.group(2), "count": int(m.group(3))}
            continue
        if not line.startswith("| request"):
            continue
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        name, method, fields_text = cells[0], cells[1].strip('"'), cells[2]
        params_text = cells[3] if len(cells) > 3 else ""
        if module is None or not method.startswith(module + "."):
            fail("method outside its module: " + method)
        fields = [] if fields_text == "none" else [
            parse_field(f, fail) for f in split_top(fields_text)]
        explicit = params_text != ""
        if explicit:
            params = [] if params_text == "none" else parse_parameters(params_text, fail)
        else:
            params = []
            for f in fields:
                if "value" in f:
                    continue
                kind = {"text item": "text", "int item": "int"}.get(f["kind"], f["kind"])
                params.append({"name": f["name"], "kind": kind})
        names = [p["name"] for p in params]
        for f in fields:
            if "value" in f or "sourceIndex" in f:
                continue
            src = f.pop("sourceName", f["name"])
            if f.get("transform") == "reportImages":
                continue
            if src not in names:
                if len(params) == 1 and params[0]["kind"] == "record":
                    continue
                fail("no parameter feeds " + f["name"])
            f["sourceIndex"] = names.index(src) + 1
        functions.append({"function": name, "module": module, "method": method,
                          "protoFile": module + ".proto", "explicitParameters": explicit,
                          "parameters": params, "fields": fields})

    for mod, info in modules.items():
        n = sum(1 for f in functions if f["module"] == mod)
        if n != info["count"]:
            sys.exit("%s: %d rows, heading says %d" % (mod, n, info["count"]))
    json.dump({"modules": modules, "functions": functions}, open(out, "w", encoding="utf-8"),
              ensure_ascii=False, indent=1)
    print("%d functions in %d modules -> %s" % (len(functions), len(modules), out))


if __name__ == "__main__":
    main()
