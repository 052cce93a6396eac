#!/usr/bin/env python3
"""Keeps the API reference in step with the public header.

Usage: check_api_doc.py include/zarvoac.h docs/api.md

Fails, naming each difference, when
  - a function of the header has no `### Zarvo_Name` section in the reference,
    or the reference documents a function the header does not declare;
  - the first ```c block of a function's section is not that function's
    prototype exactly as the header declares it (white space aside);
  - a line mirror of an operation (Zarvo_Line<Op> beside Zarvo_<Op>) has
    neither its own section nor its exact prototype in the ```c blocks of the
    one `### Zarvo_Line<Operation>` section, or that section lists a function
    that is not a mirror, or lists one twice;
  - a handle, callback structure or function pointer type (ZarvoLine,
    ZarvoChannel, ZarvoTraceHook) has no '### `Name`' section whose first
    ```c block is its declaration exactly as the header has it;
  - a numeric constant (result codes, trace directions) is missing from the
    reference's tables, or shown with another value, or the reference names
    a constant or a function that the header does not have;
  - a caller record's size, or a structure's field offsets, names and types,
    differ from what the reference's record tables say.

Before answering, the checker also feeds itself a few drifted copies of the
two files and fails if it misses any of them, so it cannot pass by finding
nothing to compare.
"""

import re
import sys

PROTOTYPE = re.compile(
    r"ZARVO_API\s+(?:int32_t|void|ZarvoLine\s*\*|const\s+char\s*\*)\s*ZARVO_CALL\s+(Zarvo_\w+)\s*\(([^;]*?)\)\s*;")
DECLARED_NAME = re.compile(r"ZARVO_CALL\s+(Zarvo_\w+)")
CONSTANT_DEFINE = re.compile(r"^#define\s+(ZARVO_\w+)\s+\(?\s*(-?\d+)\s*\)?",
                             re.MULTILINE)
ANY_DEFINE = re.compile(r"^#define\s+(ZARVO_\w+)", re.MULTILINE)
# Types the reference shows by their declaration: opaque handles, structures
# holding pointers, and function pointer types.
OPAQUE_TYPEDEF = re.compile(r"typedef\s+struct\s+\w+\s+(\w+)\s*;")
FUNCTION_POINTER_TYPEDEF = re.compile(
    r"typedef\s+[\w\s*]+\(\s*ZARVO_CALL\s*\*\s*(\w+)\s*\)\s*\([^;]*\)\s*;")
TYPE_HEADING = re.compile(r"^`(\w+)`$")
MIRRORS_HEADING = "Zarvo_Line<Operation>"
MIRROR_PREFIX = "Zarvo_Line"
STRUCT = re.compile(r"typedef\s+struct\s+(\w+)\s*\{(.*?)\}\s*(\w+)\s*;", re.DOTALL)
ARRAY_TYPEDEF = re.compile(r"typedef\s+int32_t\s+(\w+)\s*\[\s*(\d+)\s*\]\s*;")
FIELD = re.compile(r"^\s*(char|u?int32_t)\s+(\w+)\s*(?:\[\s*(\d+)\s*\])?\s*;", re.MULTILINE)
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*$")
RECORD_HEADING = re.compile(r"^`(\w+)`\s*\((\d+) bytes\)")
FENCE = re.compile(r"^```\s*(\w*)\s*$")


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.DOTALL)
    return re.sub(r"//[^\n]*", " ", text)


def normalise(prototype):
    """One line, single spaces, no comments, no spaces around punctuation or
    pointers."""
    flat = " ".join(strip_comments(prototype).split())
    return re.sub(r"\s*([(){},;*])\s*", r"\1", flat)


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


def mirror_names(prototypes):
    """The Zarvo_Line<Op> functions that mirror a Zarvo_<Op> of the header."""
    return {name for name in prototypes
            if name.startswith(MIRROR_PREFIX) and
            "Zarvo_" + name[len(MIRROR_PREFIX):] in prototypes}


def header_types(header):
    """Maps each handle, pointer structure and function pointer type to its
    declaration."""
    code = strip_comments(header)
    types = {}
    for match in OPAQUE_TYPEDEF.finditer(code):
        types[match.group(1)] = match.group(0)
    for match in FUNCTION_POINTER_TYPEDEF.finditer(code):
        types[match.group(1)] = match.group(0)
    for match in STRUCT.finditer(code):
        if "*" in match.group(2):
            types[match.group(3)] = match.group(0)
    return types


def header_records(header):
    """Maps each caller record to (size, fields or None, element count)."""
    code = strip_comments(header)
    records = {}
    for match in STRUCT.finditer(code):
        if "*" in match.group(2):
            continue  # a structure of pointers: a type, shown by its declaration
        offset, fields = 0, []
        for kind, name, count in FIELD.findall(match.group(2)):
            if kind != "char":
                offset = (offset + 3) // 4 * 4
                fields.append((offset, name, kind))
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


def c_blocks(lines):
    """Every ```c block of the section."""
    blocks, block, kind = [], None, ""
    for line in lines:
        fence = FENCE.match(line)
        if fence and block is None:
            block, kind = [], fence.group(1)
        elif fence:
            if kind == "c":
                blocks.append("\n".join(block))
            block = None
        elif block is not None:
            block.append(line)
    return blocks


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


def listed_mirrors(prototypes, mirrors, lines, errors):
    """The mirrors whose prototypes the mirror section lists, each checked."""
    listed = set()
    for block in c_blocks(lines):
        for match in PROTOTYPE.finditer(strip_comments(block)):
            name = match.group(1)
            if name not in mirrors:
                errors.append(f"doc: the {MIRRORS_HEADING} section lists {name}, "
                              "which is not a line mirror of the header")
                continue
            if name in listed:
                errors.append(f"doc: the {MIRRORS_HEADING} section lists {name} twice")
            listed.add(name)
            if normalise(match.group(0)) != normalise(prototypes[name]):
                errors.append(f"doc: prototype of {name} differs from the header\n"
                              f"    header: {prototypes[name]}\n"
                              f"    doc:    {' '.join(match.group(0).split())}")
    return listed


def check_functions(header, sections):
    prototypes, errors = header_prototypes(header)
    mirrors = mirror_names(prototypes)
    documented, listed = {}, set()
    for level, title, lines in sections:
        name = title.strip("`")
        if level == 3 and name == MIRRORS_HEADING:
            listed |= listed_mirrors(prototypes, mirrors, lines, errors)
            continue
        if level != 3 or not name.startswith("Zarvo_"):
            continue
        if name in documented:
            errors.append(f"doc: {name} has more than one section")
        documented[name] = lines
    for name in sorted(set(prototypes) - set(documented) - listed):
        where = f"'### {name}' section"
        if name in mirrors:
            where += f" or prototype in the {MIRRORS_HEADING} section"
        errors.append(f"doc: no {where} for a function of the header")
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


def check_types(header, sections):
    errors = []
    types = header_types(header)
    documented = {}
    for _, title, lines in sections:
        match = TYPE_HEADING.match(title)
        if match:
            documented[match.group(1)] = lines
    for name, declaration in sorted(types.items()):
        if name not in documented:
            errors.append(f"doc: no section headed '`{name}`' for a type of the header")
            continue
        block = first_c_block(documented[name])
        if block is None:
            errors.append(f"doc: the section of {name} does not open with a ```c declaration")
        elif normalise(block) != normalise(declaration):
            errors.append(f"doc: declaration of {name} differs from the header\n"
                          f"    header: {' '.join(declaration.split())}\n"
                          f"    doc:    {' '.join(strip_comments(block).split())}")
    return errors


def check_result_codes(header, doc):
    errors = []
    defined = dict(CONSTANT_DEFINE.findall(strip_comments(header)))
    shown = {}
    for cells in all_table_rows(doc):
        if len(cells) >= 2 and re.fullmatch(r"`ZARVO_\w+`", cells[0]):
            shown[cells[0].strip("`")] = cells[1].replace("\u2212", "-")
    for name, value in sorted(defined.items()):
        if name not in shown:
            errors.append(f"doc: constant {name} ({value}) is not in a table")
        elif shown[name] != value:
            errors.append(f"doc: constant {name} is shown as {shown[name]}, header has {value}")
    all_defined = set(ANY_DEFINE.findall(header))
    for name in sorted(set(re.findall(r"\bZARVO_\w+\b", doc)) - all_defined):
        errors.append(f"doc: names constant {name}, which the header does not define")
    return errors


def check_names(header, doc):
    declared = set(DECLARED_NAME.findall(strip_comments(header)))
    return [f"doc: names {name}, which the header does not declare"
            for name in sorted(set(re.findall(r"\bZarvo_\w+(?![\w<])", doc)) - declared)]


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
    return (check_functions(header, sections) + check_types(header, sections) +
            check_result_codes(header, doc) + check_names(header, doc) +
            check_records(header, sections))


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
    yield "a counter of another type", header.replace("uint32_t reconnects;", "int32_t reconnects;",
                                                      1), doc
    yield "a resized record", header.replace("char date[16];", "char date[20];", 1), doc
    mirror = sorted(mirror_names(prototypes))[0]
    yield "a drifted line mirror", header.replace(f"{mirror}(", f"{mirror}(int64_t drift, ", 1), doc
    yield "a line mirror left out of the list", header, doc.replace(f"{mirror}(", f"{mirror}Gone(")
    yield "a changed return type", header.replace("ZARVO_API void ZARVO_CALL",
                                                  "ZARVO_API int32_t ZARVO_CALL", 1), doc
    yield "a changed callback in a structure", header.replace("uint32_t waitMs", "int32_t waitMs",
                                                              1), doc
    yield "a changed function pointer type", header.replace(
        "uint64_t timestampUs", "uint32_t timestampUs", 1), doc
    yield "a changed trace direction", header.replace("ZARVO_TRACE_REPLY 1",
                                                      "ZARVO_TRACE_REPLY 2", 1), doc


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
