#!/usr/bin/env python3
"""Writes the catalog template of the texts Kestrova shows (a .pot) to stdout.

Texts come from the resource tables (menus, tool-bar tips, the string table)
and from the labels, titles, columns and pages that window and dialog code
gives wx controls as literals. Update a language with
    scripts/language-texts.py > /tmp/kestrova.pot
    msgcat --use-first languages/de.po /tmp/kestrova.pot -o languages/de.po
and translate the new (empty) entries; entries the program no longer shows may
be removed by hand.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
LITERAL = r'"((?:[^"\\]|\\.)*)"'

texts = {}
plurals = {}


def add(text, where):
    if text and re.search(r"[A-Za-z]", text) and not text.startswith("wxART_"):
        texts.setdefault(text, where)


# Resource tables: every literal of a menu, tool-bar or string entry.
for name in ["Menus.h", "TreeMenus.h", "ToolBars.h", "StringTable.h"]:
    path = ROOT / "resources" / name
    # A text the formatter broke over two lines is one text.
    source = re.sub(r'"\n\s*"', "", path.read_text())
    for number, line in enumerate(source.splitlines(), 1):
        if line.lstrip().startswith("{"):
            literals = re.findall(LITERAL, line)
            # A string entry with two texts: a text shown after a number, and its plural.
            if name == "StringTable.h" and len(literals) == 2:
                plurals.setdefault(literals[0], literals[1])
                literals = literals[:1]
            for literal in literals:
                add(literal, f"resources/{name}:{number}")

# Window code: the first literal of a control's construction or a text setter.
CALLS = (r"\b(?:wxStaticText|wxButton|wxCheckBox|wxRadioButton|wxStaticBox|wxStaticBoxSizer|wxDialog|wxFrame|"
         r"wxRadioBox|SetTitle|SetLabel|SetLabelText|AddPage|InsertPage|InsertColumn|AppendColumn|SetToolTip|"
         r"ShowText|wxMessageBox|Create|AddRow|Row|AddTool|AddColumn|Append|uTr|tr|wxString)\s*\(([^;{}]*?)" + LITERAL)
for folder in ["mainwindow/src", "dialogs/src", "downloads/src"]:
    for path in sorted((ROOT / folder).rglob("*.cpp")):
        source = path.read_text()
        for match in re.finditer(CALLS, source, re.S):
            line = source.count("\n", 0, match.start()) + 1
            add(match.group(2), f"{path.relative_to(ROOT)}:{line}")
        # Rows of label tables: {"Title", 480} or {id, art, art, "Back", "Goes back one step."}.
        for match in re.finditer(r"^\s*\{.*\}[,;]?\s*$", source, re.M):
            line = source.count("\n", 0, match.start()) + 1
            for literal in re.findall(LITERAL, match.group(0)):
                if re.match(r"^[A-Z][A-Za-z .,'()-]*$", literal):
                    add(literal, f"{path.relative_to(ROOT)}:{line}")
        # Named label constants: kSomethingLabel / kTitle = "...".
        for match in re.finditer(r"\bk\w*(?:Label|Title|Caption|Text)\w*\s*(?:\[\])?\s*=\s*" + LITERAL, source):
            line = source.count("\n", 0, match.start()) + 1
            add(match.group(1), f"{path.relative_to(ROOT)}:{line}")

out = sys.stdout
out.write('msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n"Content-Transfer-Encoding: 8bit\\n"\n\n')
for text, where in texts.items():
    if text in plurals:
        out.write(f"#: {where}\nmsgid \"{text}\"\nmsgid_plural \"{plurals[text]}\"\n"
                  "msgstr[0] \"\"\nmsgstr[1] \"\"\n\n")
    else:
        out.write(f"#: {where}\nmsgid \"{text}\"\nmsgstr \"\"\n\n")
