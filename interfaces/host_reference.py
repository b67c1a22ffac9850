#!/usr/bin/env python3
"""Writes the host developer's interface reference (docs/REFERENCE.md) from
the one interface source and the registry scripts, so that it cannot drift
from them. What each member returns comes from the IDL's //! comments.

usage: host_reference.py IDL RESOURCE_DIR OUT        writes OUT
       host_reference.py IDL RESOURCE_DIR OUT --check fails when OUT is stale
"""
import pathlib
import re
import sys

LEGACY = "ZAN_LEGACY_CONFIGURATION"


def preprocess(text, legacy):
    """The IDL as widl sees it in one configuration: its #ifdef branches
    chosen and its one object-like macro expanded."""
    out, keep, macros = [], [True], {}
    for line in text.splitlines():
        word = line.split()
        if line.startswith("#ifdef"):
            keep.append(keep[-1] and (word[1] == LEGACY) == legacy)
        elif line.startswith("#else"):
            keep[-1] = not keep[-1] and all(keep[:-1])
        elif line.startswith("#endif"):
            keep.pop()
        elif line.startswith("#define"):
            if keep[-1]:
                macros[word[1]] = " ".join(word[2:])
        elif keep[-1]:
            for name, value in macros.items():
                line = re.sub(r"\b%s\b" % name, value, line)
            out.append(line)
    return "\n".join(out)


def attribute(attrs, name):
    match = re.search(r"\b%s\(([^)]*)\)" % name, attrs)
    return match.group(1).strip('"') if match else None


def split_top(text):
    """Splits at commas outside brackets and parentheses."""
    parts, depth, current = [], 0, ""
    for ch in text:
        depth += ch in "[(" and 1 or ch in "])" and -1 or 0
        if ch == "," and depth == 0:
            parts.append(current.strip())
            current = ""
        else:
            current += ch
    if current.strip():
        parts.append(current.strip())
    return parts


def doc_before(lines, index):
    docs = []
    while index > 0 and lines[index - 1].strip().startswith("//!"):
        index -= 1
        docs.insert(0, lines[index].strip()[3:].strip())
    return " ".join(docs)


def parse(text):
    lines = text.splitlines()
    flat = "\n".join(lines)
    model = {"interfaces": [], "structs": [], "coclasses": [], "library": None}
    for m in re.finditer(r"\[([^\]]*)\]\s*interface\s+(\w+)\s*:\s*(\w+)\s*\{(.*?)\n\};", flat, re.S):
        attrs, name, base, body = m.groups()
        start_line = flat[: m.start()].count("\n")
        members = []
        body_lines = body.splitlines()
        for i, line in enumerate(body_lines):
            mm = re.match(r"\s*(?:\[([^\]]*)\]\s*)?HRESULT\s+(\w+)\((.*)\);", line)
            if not mm:
                continue
            mattrs, mname, params = mm.group(1) or "", mm.group(2), mm.group(3)
            prefix = "get_" if "propget" in mattrs else "put_" if "propput" in mattrs else ""
            members.append({
                "id": attribute(mattrs, "id") or "",
                "name": prefix + mname,
                "params": [param(p) for p in split_top(params)],
                "help": attribute(mattrs, "helpstring") or "",
                "doc": doc_before(body_lines, i),
            })
        model["interfaces"].append({
            "name": name, "base": base, "iid": attribute(attrs, "uuid"),
            "help": attribute(attrs, "helpstring"), "automation": "oleautomation" in attrs,
            "doc": doc_before(lines, start_line), "members": members,
        })
    for m in re.finditer(r"typedef struct (\w+)\s*\{(.*?)\}", flat, re.S):
        fields = [host_types(f.strip().rstrip(";")) for f in m.group(2).splitlines() if f.strip()]
        model["structs"].append({"name": m.group(1), "fields": fields})
    lib = re.search(r"\[([^\]]*)\]\s*library\s+(\w+)", flat)
    model["library"] = {"name": lib.group(2), "uuid": attribute(lib.group(1), "uuid"),
                        "version": attribute(lib.group(1), "version"),
                        "help": attribute(lib.group(1), "helpstring")}
    for m in re.finditer(r"\[([^\]]*)\]\s*coclass\s+(\w+)\s*\{(.*?)\};", flat, re.S):
        interfaces = []
        for im in re.finditer(r"(\[default\]\s*)?interface\s+(\w+);", m.group(3)):
            interfaces.append(im.group(2) + (" (default)" if im.group(1) else ""))
        model["coclasses"].append({"name": m.group(2), "clsid": attribute(m.group(1), "uuid"),
                                   "help": attribute(m.group(1), "helpstring"), "interfaces": interfaces})
    return model


def host_types(decl):
    """A declaration with the types the generated header gives a host to write."""
    decl = re.sub(r"\bunsigned long\b", "ULONG", decl)
    return re.sub(r"\blong\b", "LONG", decl)


def param(text):
    m = re.match(r"(?:\[([^\]]*)\]\s*)?(.*)", text)
    attrs, decl = m.group(1) or "", host_types(m.group(2))
    marks = [a.strip() for a in split_top(attrs) if a.strip() not in ("in",)]
    return decl + (" [" + ", ".join(marks) + "]" if marks else "")


def registrations(resource_dir):
    """ProgIDs and threading model of each class, by CLSID, from the class scripts."""
    found = {}
    for rgs in sorted(pathlib.Path(resource_dir).glob("*.rgs")):
        text = rgs.read_text()
        for m in re.finditer(r"\{([0-9A-Fa-f-]{36})\} = s '[^']*'\s*\{(.*?)InprocServer32.*?ThreadingModel = s '(\w+)'",
                             text, re.S):
            progids = re.findall(r"ProgID = s '([^']+)'", m.group(2))
            found[m.group(1).upper()] = {"progids": progids, "threading": m.group(3)}
    return found


def described_interfaces(model):
    """The interfaces a type library holds: those its classes name, and their bases."""
    bases = {i["name"]: i["base"] for i in model["interfaces"]}
    names = set()
    for c in model["coclasses"]:
        for entry in c["interfaces"]:
            name = entry.split()[0]
            while name in bases and name not in names:
                names.add(name)
                name = bases[name]
    return names


def render(standard, legacy, registered):
    out = []
    w = out.append
    lib = standard["library"]
    w("# ZanScript interface reference")
    w("")
    w("Generated from `interfaces/ZanScript.idl` and the registry scripts in")
    w("`server/resources/` by `interfaces/host_reference.py`; do not edit it by hand")
    w("(`cmake --build --preset linux --target zan_reference` writes it again).")
    w("The guide for host developers is [HOSTS.md](HOSTS.md).")
    w("")
    w("Types are the generated header's, as a host writes them: `LONG` and `ULONG`")
    w("are 32 bits on both targets (the IDL's `long` and `unsigned long`; a Linux")
    w("`long` is 64 bits), `BSTR` and `IDispatch*` as OLE Automation defines them.")
    w("Every member returns an `HRESULT`; the last")
    w("column gives what it does and what it answers besides `S_OK`.")
    w("")
    w("Type library `%s` {%s}, version %s: \"%s\". The server carries it as a" % (lib["name"], lib["uuid"], lib["version"], lib["help"]))
    w("resource and registers it; each interface below says whether it is in it.")
    w("")
    w("## Classes")
    w("")
    w("| Class | CLSID | ProgIDs | Threading | Interfaces in the type library |")
    w("|---|---|---|---|---|")
    legacy_classes = {c["name"]: c for c in legacy["coclasses"]}
    for c in standard["coclasses"]:
        reg = registered.get(c["clsid"].upper(), {"progids": [], "threading": ""})
        interfaces = ", ".join("`%s`" % i for i in c["interfaces"])
        old = legacy_classes.get(c["name"])
        if old and old["interfaces"] != c["interfaces"]:
            interfaces += "; legacy configuration: " + ", ".join("`%s`" % i for i in old["interfaces"])
        progids = reg["progids"]
        progid = "`%s` (version-independent `%s`)" % tuple(progids) if len(progids) == 2 else ", ".join(progids)
        w("| `%s` | {%s} | %s | %s | %s |" % (c["name"], c["clsid"], progid, reg["threading"], interfaces))
    w("")
    w("## Interfaces")
    legacy_interfaces = {i["name"]: i for i in legacy["interfaces"]}
    described = described_interfaces(standard)
    for i in standard["interfaces"]:
        w("")
        w("### %s" % i["name"])
        w("")
        facts = ["IID {%s}" % i["iid"], "derives from `%s`" % i["base"]]
        if i["help"]:
            facts.append("help string \"%s\"" % i["help"])
        if i["name"] not in described:
            facts.append("not in the type library")
        in_legacy = i["name"] in described_interfaces(legacy)
        if i["automation"]:
            automated_in_legacy = not in_legacy or legacy_interfaces[i["name"]]["automation"]
            facts.append("oleautomation" + ("" if automated_in_legacy else " (not in the legacy configuration)"))
        if i["name"] in described and not in_legacy:
            facts.append("absent from the legacy configuration's type library (its `Script` still answers it)")
        w(", ".join(facts) + ".")
        if i["doc"]:
            w("")
            w(i["doc"])
        w("")
        w("| Id | Member | Help string | Result |")
        w("|---|---|---|---|")
        for m in i["members"]:
            signature = "%s(%s)" % (m["name"], ", ".join(m["params"]))
            w("| %s | `%s` | %s | %s |" % (m["id"] or "-", signature, m["help"] or "-", m["doc"]))
    for s in standard["structs"]:
        w("")
        w("### %s" % s["name"])
        w("")
        w("The record of `IScriptData::ApplyUpdate` and `_IScriptDataEvents::OnScriptUpdate`, six 32-bit fields:")
        w("`%s`." % "`, `".join(s["fields"]))
    return "\n".join(out) + "\n"


def main(argv):
    if len(argv) not in (4, 5):
        sys.exit(__doc__)
    idl = pathlib.Path(argv[1]).read_text()
    text = render(parse(preprocess(idl, False)), parse(preprocess(idl, True)), registrations(argv[2]))
    out = pathlib.Path(argv[3])
    if len(argv) == 5:
        if not out.exists() or out.read_text() != text:
            sys.exit("%s is out of date with the IDL; rebuild the target zan_reference" % out)
        return
    out.write_text(text)


if __name__ == "__main__":
    main(sys.argv)
