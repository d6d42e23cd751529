# SPDX-License-Identifier: MIT
"""Writes one section-3 manual page per exported function, and libkrc.3, from
Doxygen's XML output of the public headers.

Each page has the function's NAME (its brief), a SYNOPSIS with the header to
include and the prototype, the DESCRIPTION and RETURN VALUE from its contract
comment, the rules its whole family shares (the header's own comment) and SEE
ALSO naming the rest of the family.  Every function named in the symbol lists
must be documented, or the run fails.  The output depends only on the input
and the arguments (no clock), and uses no font but bold, italic and roman.

usage: manpages.py XMLDIR OUTDIR --version V --date YYYY-MM-DD SYMS...
"""
import argparse
import os
import sys
import xml.etree.ElementTree as ET

MANUAL = "libkrc Programmer's Manual"


def escape(text):
    """Text as roff prints it literally, on one line."""
    out = []
    for ch in " ".join(text.split()) if text.strip() else "":
        if ch == "\\":
            out.append("\\e")
        elif ord(ch) > 126:
            out.append("\\[u%04X]" % ord(ch))
        else:
            out.append(ch)
    return "".join(out)


def line(text):
    """One input line; a leading period or quote would be read as a request."""
    return "\\&" + text if text[:1] in (".", "'") else text


class Prose:
    """Renders a Doxygen description element to roff: paragraphs of running
    text, with the parameter list and the return text set apart."""

    def __init__(self):
        self.params = []  # (name, roff text)
        self.returns = []  # roff text
        self.paragraphs = []  # roff lines, one list per paragraph

    def inline(self, elem):
        """The inline content of elem (its text, children and their tails)."""
        parts = [escape_keep_space(elem.text)]
        for child in elem:
            parts.append(self.inline_child(child))
            parts.append(escape_keep_space(child.tail))
        return "".join(parts)

    def inline_child(self, child):
        tag = child.tag
        if tag == "ref" or tag == "computeroutput" or tag == "bold":
            text = self.inline(child)
            # \\% keeps an identifier from being hyphenated.
            if text.endswith("()"):
                return "\\fB\\%" + text[:-2] + "\\fR()"
            return "\\fB\\%" + text + "\\fR"
        if tag == "emphasis":
            return "\\fI" + self.inline(child) + "\\fR"
        if tag == "parameterlist":
            self.take_params(child)
            return ""
        if tag == "simplesect":
            self.take_section(child)
            return ""
        if tag in ("itemizedlist", "orderedlist", "programlisting", "verbatim"):
            self.pending.append(child)
            return ""
        if tag == "linebreak":
            return " "
        return self.inline(child)

    def take_params(self, plist):
        for item in plist.findall("parameteritem"):
            names = [escape(n.text or "") for n in item.iter("parametername")]
            desc = item.find("parameterdescription")
            self.params.append((", ".join(names), self.flat(desc)))

    def take_section(self, sect):
        text = self.flat(sect)
        if sect.get("kind") == "return":
            self.returns.append(text)
        else:
            self.paragraphs.append([line("\\fI%s:\\fR %s" % (escape(sect.get("kind", "")).capitalize(), text))])

    def flat(self, elem):
        """All paragraphs of elem run together as one line of text."""
        if elem is None:
            return ""
        texts = []
        for para in elem.findall("para") or [elem]:
            texts.append(" ".join(self.inline(para).split()))
        return " ".join(t for t in texts if t)

    def block(self, elem):
        """Lists and code blocks met inside a paragraph, as roff lines."""
        if elem.tag in ("itemizedlist", "orderedlist"):
            lines = []
            for n, item in enumerate(elem.findall("listitem"), 1):
                mark = "\\(bu" if elem.tag == "itemizedlist" else "%d." % n
                lines += [".IP %s 3" % mark, line(self.flat(item))]
            return lines + [".PP"]
        code = "".join(elem.itertext())
        return [".PP", ".nf", ".RS"] + [line(escape_keep_space(row)) for row in code.splitlines()] + [".RE", ".fi"]

    def add(self, description):
        """Adds a whole description element (brief or detailed)."""
        if description is None:
            return
        for para in description.findall("para"):
            self.pending = []
            text = " ".join(self.inline(para).split())
            lines = [line(text)] if text else []
            for elem in self.pending:
                lines += self.block(elem)
            if lines:
                self.paragraphs.append(lines)


def escape_keep_space(text):
    """Like escape, but keeps the spaces around the text (inline runs)."""
    if not text:
        return ""
    body = escape(text)
    lead = " " if text[:1].isspace() else ""
    trail = " " if text[-1:].isspace() and body else ""
    return lead + body + trail


def paragraphs_roff(paragraphs):
    out = []
    for i, para in enumerate(paragraphs):
        if i:
            out.append(".PP")
        out += para
    return out


def synopsis(member):
    """The prototype as .BI lines: types bold, parameter names italic."""
    name = member.findtext("name")
    rtype = "".join(member.find("type").itertext()).strip()
    head = rtype + ("" if rtype.endswith("*") else " ") + name + "("
    params = member.findall("param")
    if not params or (len(params) == 1 and "".join(params[0].find("type").itertext()).strip() == "void"
                      and params[0].find("declname") is None):
        return ['.B "%s(void);"' % escape(head[:-1])]
    pieces = []
    for i, param in enumerate(params):
        ptype = "".join(param.find("type").itertext()).strip()
        sep = "" if ptype.endswith("*") else " "
        before = escape((head if i == 0 else ", ") + ptype) + sep
        pieces.append('"%s" %s' % (before, escape(param.findtext("declname") or "")))
    return [".BI " + " ".join(pieces) + ' );']


def brief(element):
    """The element's brief description as one line, without its final period."""
    return " ".join("".join(element.find("briefdescription").itertext()).split()).rstrip(".")


def brief_for_name(member):
    text = brief(member)
    if len(text) > 1 and text[0].isupper() and not text[1].isupper():
        text = text[0].lower() + text[1:]
    return escape(text)


def th(title, version, date):
    return ['.TH "%s" 3 "%s" "libkrc %s" "%s"' % (title, date, version, MANUAL)]


def function_page(member, header, family, version, date):
    name = member.findtext("name")
    prose = Prose()
    prose.add(member.find("briefdescription"))
    prose.add(member.find("detaileddescription"))
    out = ['.\\" SPDX-License-Identifier: MIT', '.\\" Generated from <%s> by docs/manpages.py.' % header]
    out += th(name.upper(), version, date)
    out += [".SH NAME", "%s \\- %s" % (escape(name), brief_for_name(member))]
    out += [".SH LIBRARY", "libkrc (\\fIliblibkrc.so\\fR, \\fI\\-llibkrc\\fR)"]
    out += [".SH SYNOPSIS", ".nf", ".B #include <%s>" % header, ".PP"] + synopsis(member) + [".fi"]
    out += [".SH DESCRIPTION"] + paragraphs_roff(prose.paragraphs)
    if prose.params:
        out.append(".SS Parameters")
        for pname, text in prose.params:
            out += [".TP", ".I %s" % pname, line(text)]
    if prose.returns:
        out += [".SH RETURN VALUE"] + paragraphs_roff([[line(t)] for t in prose.returns])
    out += family["rules"]
    others = [f for f in family["functions"] if f != name]
    out += [".SH SEE ALSO"]
    refs = [".BR %s (3)," % escape(f) for f in others] + [".BR libkrc (3)"]
    return out + refs


def family_rules(compound, header):
    prose = Prose()
    prose.add(compound.find("briefdescription"))
    prose.add(compound.find("detaileddescription"))
    intro = ["What follows holds for every function of \\fB<%s>\\fR." % header]
    return [".SH RULES OF THE FAMILY"] + paragraphs_roff([intro] + prose.paragraphs)


def read_families(xmldir):
    """{header: {"compound", "members": {name: memberdef}}} for every header."""
    families = {}
    index = ET.parse(os.path.join(xmldir, "index.xml")).getroot()
    for entry in index.findall("compound"):
        if entry.get("kind") != "file":
            continue
        root = ET.parse(os.path.join(xmldir, entry.get("refid") + ".xml")).getroot()
        compound = root.find("compounddef")
        location = compound.find("location").get("file")
        members = {}
        for member in compound.iter("memberdef"):
            if member.get("kind") == "function":
                members[member.findtext("name")] = member
        if members:
            families[location] = {"compound": compound, "members": members}
    return families


def overview_page(pages, version, date):
    out = ['.\\" SPDX-License-Identifier: MIT', '.\\" Generated by docs/manpages.py.']
    out += th("LIBKRC", version, date)
    out += [".SH NAME", "libkrc \\- small exact containers and utilities for ARM Linux",
            ".SH LIBRARY", "libkrc (\\fIliblibkrc.so\\fR, \\fI\\-llibkrc\\fR)",
            ".SH SYNOPSIS", ".nf", ".B #include <libkrc/libkrc.h>", ".fi",
            ".SH DESCRIPTION",
            "One shared library of independent families, each with its own header.",
            "Every function has a page of its own, listed here by header."]
    for header, family in sorted(pages.items()):
        out += [".SS <%s>" % header, line(escape(brief(family["compound"]))) + ".", ".PP"]
        out.append(", ".join("\\fB\\%%%s\\fR(3)" % escape(f) for f in family["functions"]))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("xmldir")
    parser.add_argument("outdir")
    parser.add_argument("--version", required=True)
    parser.add_argument("--date", required=True)
    parser.add_argument("syms", nargs="+", help="lists of exported functions, one a line")
    args = parser.parse_args()

    exported = set()
    for path in args.syms:
        with open(path, encoding="ascii") as f:
            exported.update(s.strip() for s in f if s.strip())
    families = read_families(args.xmldir)
    pages = {}
    written = set()
    for header, family in families.items():
        names = [n for n in family["members"] if n in exported]
        if not names:
            continue
        family["functions"] = names
        family["rules"] = family_rules(family["compound"], header)
        pages[header] = family
        for name in names:
            text = function_page(family["members"][name], header, family, args.version, args.date)
            write(args.outdir, name, text)
            written.add(name)
    missing = sorted(exported - written)
    if missing:
        sys.exit("manpages.py: no documentation for exported function(s): " + ", ".join(missing))
    write(args.outdir, "libkrc", overview_page(pages, args.version, args.date))
    print("manpages.py: %d pages in %s" % (len(written) + 1, args.outdir))


def write(outdir, name, lines):
    os.makedirs(outdir, exist_ok=True)
    with open(os.path.join(outdir, name + ".3"), "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
