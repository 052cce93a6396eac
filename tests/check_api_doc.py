#!/usr/bin/env python3
"""Keeps the API reference in step with the public header.

Usage: check_api_doc.py include/zarvoac.h docs/api.md

Fails, naming each difference, when
  - a function of the header has no `### Zarvo_Name` section in the reference,
    or the reference documents a function the header does not declare;
  - the first ```c block of a function's section is not that function's
    prototype exactly as the header declares it (white space aside);
  - a result code constant is missing from the reference's tables, or shown
    with another value, or the reference names a constant or a function that
    the header does not have;
  - a caller record's size, or a structure's field offsets, names and types,
    differ from what the reference's record tables say.

Before answering, the checker also feeds itself a few drifted copies of the
two files and fails if it misses any of them, so it cannot pass by finding
nothing to compare.
"""

import re
import sys

PROTOTYPE = re.compile(
    r"ZARVO_API\s+int32_t\s+ZARVO_CALL\s+(Zarvo_\w+)\s*\(([^;]*?)\)\s*;")
DECLARED_NAME = re.compile(r"ZARVO_CALL\s+(Zarvo_\w+)")
RESULT_DEFINE = re.compile(r"^#define\s+(ZARVO_(?:OK|E_\w+))\s+\(?\s*(-?\d+)\s*\)?",
                           re.MULTILINE)
STRUCT = re.compile(r"typedef\s+struct\s+(\w+)\s*\{(.*?)\}\s*(\w+)\s*;", re.DOTALL)
ARRAY_TYPEDEF = re.compile(r"typedef\s+int32_t\s+(\w+)\s*\[\s*(\d+)\s*\]\s*;")
FIELD = re.compile(r"^\s*(char|int32_t)\s+(\w+)\s*(?:\[\s*(\d+)\s*\])?\s*;", re.MULTILINE)
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*$")
RECORD_HEADING = re.compile(r"^`(\w+)`\s*\((\d+) bytes\)")
FENCE = re.compile(r"^```\s*(\w*)\s*$")


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.DOTALL)
    return re.sub(r"//[^\n]*", " ", text)


def normalise(prototype):
    """One line, single spaces, no spaces around punctuation or pointers."""
    flat = " ".join(prototype.split())
    return re.sub(r"\s*([(),;*])\s*", r"\1", flat)


def header_prototypes(header):
    """Maps each declared function to its prototype; reports unparsable ones."""
    code = strip_comments(header)
    found, errors = {}, []
    for match in PROTOTYPE.finditer(code):
        name = match.group(1)
        if name in found:
            errors.append(f"header: {name} is declared twice")
        found[name] = " ".join(match.group(0).split())
    for name in DECLARED_NAME.findall(code):
        if name not in found:
            errors.append(f"header: cannot read the prototype of {name}")
    if not found:
        errors.append("header: no ZARVO_API int32_t ZARVO_CALL Zarvo_...(...); prototype found")
    return found, errors


def header_records(header):
    """Maps each caller record to (size, fields or None, element count)."""
    code = strip_comments(header)
    records = {}
    for match in STRUCT.finditer(code):
        offset, fields = 0, []
        for kind, name, count in FIELD.findall(match.group(2)):
            if kind == "int32_t":
                offset = (offset + 3) // 4 * 4
                fields.append((offset, name, "int32_t"))
                offset += 4
            else:
                fields.append((offset, name, f"char[{count}]"))
                offset += int(count or 1)
        records[match.group(3)] = ((offset + 3) // 4 * 4, fields, None)
    for name, count in ARRAY_TYPEDEF.findall(code):
        records[name] = (4 * int(count), None, int(count))
    return records


def doc_sections(doc):
    """Splits the reference into (heading level, heading text, body lines)."""
    sections, current = [], (0, "", [])
    in_fence = False
    for line in doc.splitlines():
        if FENCE.match(line):
            in_fence = not in_fence
        heading = None if in_fence else HEADING.match(line)
        if heading:
            sections.append(current)
            current = (len(heading.group(1)), heading.group(2), [])
        else:
            current[2].append(line)
    sections.append(current)
    return sections


def first_c_block(lines):
    """The first fenced block of the section, if it is a ```c block."""
    for i, line in enumerate(lines):
        fence = FENCE.match(line)
        if not fence:
            continue
        if fence.group(1) != "c":
            return None
        block = []
        for inner in lines[i + 1:]:
            if FENCE.match(inner):
                return "\n".join(block)
            block.append(inner)
        return None
    return None


def table_rows(lines):
    """The cells of every row of the first table in `lines`."""
    rows, started = [], False
    for line in lines:
        if line.startswith("|"):
            started = True
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if not all(re.fullmatch(r":?-+:?", c) for c in cells):
                rows.append(cells)
        elif started:
            break
    return rows


def all_table_rows(doc):
    return [[c.strip() for c in line.strip().strip("|").split("|")]
            for line in doc.splitlines() if line.startswith("|")]


def check_functions(header, sections):
    prototypes, errors = header_prototypes(header)
    documented = {}
    for level, title, lines in sections:
        name = title.strip("`")
        if level != 3 or not name.startswith("Zarvo_"):
            continue
        if name in documented:
            errors.append(f"doc: {name} has more than one section")
        documented[name] = lines
    for name in sorted(set(prototypes) - set(documented)):
        errors.append(f"doc: no '### {name}' section for a function of the header")
    for name in sorted(set(documented) - set(prototypes)):
        errors.append(f"doc: '### {name}' documents a function the header does not declare")
    for name in sorted(set(prototypes) & set(documented)):
        block = first_c_block(documented[name])
        if block is None:
            errors.append(f"doc: the section of {name} does not open with a ```c prototype block")
        elif normalise(block) != normalise(prototypes[name]):
            errors.append(f"doc: prototype of {name} differs from the header\n"
                          f"    header: {prototypes[name]}\n"
                          f"    doc:    {' '.join(block.split())}")
    return errors


def check_result_codes(header, doc):
    errors = []
    defined = dict(RESULT_DEFINE.findall(header))
    shown = {}
    for cells in all_table_rows(doc):
        if len(cells) >= 2 and re.fullmatch(r"`ZARVO_\w+`", cells[0]):
            shown[cells[0].strip("`")] = cells[1].replace("\u2212", "-")
    for name, value in sorted(defined.items()):
        if name not in shown:
            errors.append(f"doc: result code {name} ({value}) is not in a table")
        elif shown[name] != value:
            errors.append(f"doc: result code {name} is shown as {shown[name]}, header has {value}")
    for name in sorted(set(re.findall(r"\bZARVO_(?:OK|E_\w+)\b", doc)) - set(defined)):
        errors.append(f"doc: names result code {name}, which the header does not define")
    return errors


def check_names(header, doc):
    declared = set(DECLARED_NAME.findall(strip_comments(header)))
    return [f"doc: names {name}, which the header does not declare"
            for name in sorted(set(re.findall(r"\bZarvo_\w+", doc)) - declared)]


def check_records(header, sections):
    errors = []
    records = header_records(header)
    documented = {}
    for _, title, lines in sections:
        match = RECORD_HEADING.match(title)
        if match:
            documented[match.group(1)] = (int(match.group(2)), lines)
    for name, (size, fields, count) in sorted(records.items()):
        if name not in documented:
            errors.append(f"doc: no section headed '`{name}` ({size} bytes)'")
            continue
        doc_size, lines = documented[name]
        if doc_size != size:
            errors.append(f"doc: {name} is said to be {doc_size} bytes, header makes {size}")
        if count is not None:
            if f"int32_t[{count}]" not in "\n".join(lines):
                errors.append(f"doc: the section of {name} does not say int32_t[{count}]")
            continue
        rows = [(int(r[0]), r[1].strip("`"), r[2].strip("`"))
                for r in table_rows(lines) if len(r) >= 3 and r[0].isdigit()]
        if rows != fields:
            errors.append(f"doc: fields of {name} differ from the header\n"
                          f"    header: {fields}\n    doc:    {rows}")
    return errors


def check(header, doc):
    sections = doc_sections(doc)
    return (check_functions(header, sections) + check_result_codes(header, doc) +
            check_names(header, doc) + check_records(header, sections))


def drifted_copies(header, doc):
    """Each copy differs from the real pair in one way the checker must see."""
    prototypes, _ = header_prototypes(header)
    name = sorted(prototypes)[0]
    yield "a function without a section", header, doc.replace(f"### {name}\n", "### Gone\n", 1)
    yield "an extra function in the doc", header, doc + "\n### Zarvo_NotInHeader\n"
    yield "a changed argument type", header.replace(f"{name}(", f"{name}(int64_t drift, ", 1), doc
    yield "a function added to the header", header.replace(
        "#ifdef __cplusplus\n} /* extern",
        "ZARVO_API int32_t ZARVO_CALL Zarvo_Added(void);\n#ifdef __cplusplus\n} /* extern", 1), doc
    yield "a changed result code", header.replace("ZARVO_E_NO_REPLY (-10)",
                                                  "ZARVO_E_NO_REPLY (-9)", 1), doc
    yield "a changed record field", header.replace("int32_t value1;", "int32_t valueOne;", 1), doc
    yield "a resized record", header.replace("char date[16];", "char date[20];", 1), doc


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    try:
        header, doc = (read_text(path) for path in argv[1:3])
    except OSError as error:
        print(f"cannot read {error.filename}: {error.strerror}", file=sys.stderr)
        return 2

    errors = check(header, doc)
    for what, drifted_header, drifted_doc in drifted_copies(header, doc):
        if not errors and not check(drifted_header, drifted_doc):
            errors.append(f"checker: does not notice {what}; fix the checker")
    if errors:
        print(f"{argv[2]} has drifted from {argv[1]}:")
        for error in errors:
            print("  " + error)
        return 1
    count = len(header_prototypes(header)[0])
    print(f"{argv[2]}: {count} functions, result codes and records match {argv[1]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
