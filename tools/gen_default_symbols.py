#!/usr/bin/env python3
"""Writes the default symbol sets (resources/symbols/*.txt) from the public mingw-w64 Windows headers.

Each set is a list of `NAME=VALUE` lines after two header lines (`_filename`, `_hidden`). Values keep
the literal a header writes; casts, MAKEINTRESOURCE() and parentheses are peeled off, and a constant
defined as another constant gets the other's literal.

The headers are read the way a resource compiler sees them: RC_INVOKED and OEMRESOURCE defined, and a
Windows 7 target. Conditional blocks are honoured, so later additions guarded by a newer target (the
navigation and gamepad keys, for instance) stay out.

Usage: tools/gen_default_symbols.py [--include DIR] [--out DIR] [--winver 0x0601]
"""
import argparse
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
DEFAULT_INCLUDE = pathlib.Path('/usr/share/mingw-w64/include')
DEFAULT_WINVER = 0x0601

# Wrappers that only change the C type of a number.
WRAPPERS = {'MAKEINTRESOURCE', 'MAKEINTRESOURCEA', 'MAKEINTRESOURCEW', '__MSABI_LONG'}

DIALOG_IDS = ['IDOK', 'IDCANCEL', 'IDABORT', 'IDRETRY', 'IDIGNORE', 'IDYES', 'IDNO', 'IDCLOSE',
              'IDHELP', 'IDTRYAGAIN', 'IDCONTINUE']
MANIFEST_IDS = ['CREATEPROCESS_MANIFEST_RESOURCE_ID', 'ISOLATIONAWARE_MANIFEST_RESOURCE_ID',
                'ISOLATIONAWARE_NOSTATICIMPORT_MANIFEST_RESOURCE_ID']
# Spellings the mingw-w64 winnt.h adds for compatibility; its own comments name the canonical
# constant, which is kept.
HEADER_LOCAL_ALIASES = {'SUBLANG_HAUSA_NIGERIA', 'SUBLANG_LAO_LAO_PDR', 'SUBLANG_SYRIAC_SYRIA'}


def prefixed(*prefixes):
    return lambda name: name.startswith(prefixes)


def listed(names):
    wanted = set(names)
    return lambda name: name in wanted


# (file, hidden, [(header, selector, label), ...]); labels group the summary counts.
SETS = [
    ('DIALOG', False, [('winuser.h', listed(DIALOG_IDS), 'ID*')]),
    ('HELP', False, [('winuser.h', prefixed('HELP_'), 'HELP_'),
                     ('winuser.h', prefixed('IDH_'), 'IDH_')]),
    ('IMAGES', False, [('winuser.h', prefixed('OBM_'), 'OBM_'),
                       ('winuser.h', prefixed('OCR_'), 'OCR_'),
                       ('winuser.h', prefixed('OIC_'), 'OIC_'),
                       ('winuser.h', prefixed('IDI_'), 'IDI_')]),
    ('KEYS', True, [('winuser.h', prefixed('VK_'), 'VK_')]),
    ('LANGUAGES', True, [('winnt.h', prefixed('LANG_'), 'LANG_'),
                         ('winnt.h', prefixed('SUBLANG_'), 'SUBLANG_')]),
    ('WINDOWS', False, [('winuser.h', listed(MANIFEST_IDS), 'manifest'),
                        ('winver.h', listed(['VS_VERSION_INFO']), 'version')]),
]

NUMBER = re.compile(r'^(0[xX][0-9A-Fa-f]+|[0-9]+)([uUlL]*)$')
IDENT = re.compile(r'^[A-Za-z_]\w*$')
DIRECTIVE = re.compile(r'^\s*#\s*(\w+)\s*(.*)$')
DEFINE = re.compile(r'^([A-Za-z_]\w*)(\()?\s*(.*)$')
TOKEN = re.compile(r'\s*(?:(0[xX][0-9A-Fa-f]+|[0-9]+)[uUlL]*|([A-Za-z_]\w*)|'
                   r'(<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%<>!~&|^?:(),]))')


class Unknown(Exception):
    """A condition that cannot be decided from what the headers and the target tell."""


class Define:
    def __init__(self, name, body, header, line, uncertain):
        self.name, self.body, self.header, self.line, self.uncertain = name, body, header, line, uncertain


class Preprocessor:
    """Just enough of a C preprocessor to tell which #defines are live."""

    def __init__(self, winver):
        self.objects = {}      # name -> body, for every live object-like macro
        self.functions = {'WINAPI_FAMILY_PARTITION': lambda args: 1}
        self.defines = []      # live object-like Define records, in order
        for name in ('RC_INVOKED', 'OEMRESOURCE'):
            self.objects[name] = '1'
        for name in ('WINVER', '_WIN32_WINNT', '_WIN32_WINDOWS'):
            self.objects[name] = '0x%04X' % winver
        self.objects['_WIN32_IE'] = '0x0800'
        self.objects['NTDDI_VERSION'] = '0x%04X0000' % winver

    # Condition evaluation --------------------------------------------------------------------------

    def _tokens(self, text, depth=0):
        if depth > 16:
            raise Unknown(text)
        out, pos = [], 0
        text = text.strip()
        while pos < len(text):
            m = TOKEN.match(text, pos)
            if not m or m.end() == pos:
                raise Unknown(text)
            pos = m.end()
            number, name, op = m.groups()
            if number is not None:
                out.append(('n', int(number, 8 if re.fullmatch(r'0[0-7]+', number) else 0)))
            elif name is not None:
                out.append(('i', name))
            else:
                out.append(('o', op))
        return out

    def evaluate(self, text):
        toks = self._tokens(text)
        parser = _ExprParser(self, toks)
        value = parser.conditional()
        if parser.pos != len(toks):
            raise Unknown(text)
        return value

    def expand(self, name, depth):
        body = self.objects.get(name)
        if body is None:
            return 0  # an undefined identifier is 0 in #if
        if body == '':
            raise Unknown(name)
        toks = self._tokens(body, depth + 1)
        parser = _ExprParser(self, toks, depth + 1)
        value = parser.conditional()
        if parser.pos != len(toks):
            raise Unknown(body)
        return value

    # Header walk -----------------------------------------------------------------------------------

    def run(self, path):
        text = path.read_text(encoding='latin-1')
        text = text.replace('\\\r\n', '').replace('\\\n', '')
        text = _strip_comments(text)
        # Each frame: [state, any_branch_taken]; state is True, False or None (undecided).
        stack = []
        for lineno, line in enumerate(text.split('\n'), 1):
            m = DIRECTIVE.match(line)
            if not m:
                continue
            word, rest = m.group(1), m.group(2).strip()
            live = all(frame[0] is not False for frame in stack)
            if word in ('if', 'ifdef', 'ifndef'):
                if not live:
                    stack.append([False, True])
                    continue
                if word == 'if':
                    state = self._decide(rest)
                else:
                    name = rest.split()[0] if rest else ''
                    state = (name in self.objects or name in self.functions) == (word == 'ifdef')
                stack.append([state, state is True])
            elif word == 'elif':
                frame = stack[-1]
                outer_live = all(f[0] is not False for f in stack[:-1])
                if not outer_live or frame[1]:
                    frame[0] = False
                else:
                    state = self._decide(rest)
                    if frame[0] is None and state is not False:
                        state = None  # an undecided earlier branch leaves this one undecided
                    frame[0] = state
                    frame[1] = frame[1] or state is True
            elif word == 'else':
                frame = stack[-1]
                if frame[1]:
                    frame[0] = False
                elif frame[0] is None:
                    frame[0] = None
                else:
                    frame[0] = True
                    frame[1] = True
            elif word == 'endif':
                stack.pop()
            elif not live:
                continue
            elif word == 'define':
                self._define(rest, path.name, lineno, any(f[0] is None for f in stack))
            elif word == 'undef':
                name = rest.split()[0] if rest else ''
                self.objects.pop(name, None)
                self.functions.pop(name, None)
        if stack:
            raise SystemExit('%s: unbalanced conditional blocks' % path)

    def _decide(self, text):
        try:
            return bool(self.evaluate(text))
        except (Unknown, ZeroDivisionError):
            return None

    def _define(self, rest, header, lineno, uncertain):
        m = DEFINE.match(rest)
        if not m:
            return
        name, paren, body = m.group(1), m.group(2), m.group(3).strip()
        if paren:
            # Function-like macros are never constants; keep the name known for #ifdef.
            self.functions.setdefault(name, None)
            return
        if name in self.objects:
            return  # the first definition wins, as in the sets
        self.objects[name] = body
        self.defines.append(Define(name, body, header, lineno, uncertain))


class _ExprParser:
    """Precedence-climbing evaluator for #if expressions."""

    BINARY = [('||',), ('&&',), ('|',), ('^',), ('&',), ('==', '!='), ('<', '>', '<=', '>='),
              ('<<', '>>'), ('+', '-'), ('*', '/', '%')]

    def __init__(self, pp, toks, depth=0):
        self.pp, self.toks, self.pos, self.depth = pp, toks, 0, depth

    def peek(self):
        return self.toks[self.pos] if self.pos < len(self.toks) else (None, None)

    def take(self, op=None):
        tok = self.peek()
        if tok[0] is None or (op is not None and tok != ('o', op)):
            raise Unknown(op)
        self.pos += 1
        return tok

    def conditional(self):
        cond = self.binary(0)
        if self.peek() == ('o', '?'):
            self.take('?')
            a = self.conditional()
            self.take(':')
            b = self.conditional()
            return a if cond else b
        return cond

    def binary(self, level):
        if level == len(self.BINARY):
            return self.unary()
        left = self.binary(level + 1)
        while self.peek()[0] == 'o' and self.peek()[1] in self.BINARY[level]:
            op = self.take()[1]
            right = self.binary(level + 1)
            left = {
                '||': lambda: int(bool(left) or bool(right)),
                '&&': lambda: int(bool(left) and bool(right)),
                '|': lambda: left | right, '^': lambda: left ^ right, '&': lambda: left & right,
                '==': lambda: int(left == right), '!=': lambda: int(left != right),
                '<': lambda: int(left < right), '>': lambda: int(left > right),
                '<=': lambda: int(left <= right), '>=': lambda: int(left >= right),
                '<<': lambda: left << right, '>>': lambda: left >> right,
                '+': lambda: left + right, '-': lambda: left - right, '*': lambda: left * right,
                '/': lambda: int(left / right), '%': lambda: left % right,
            }[op]()
        return left

    def unary(self):
        kind, value = self.peek()
        if kind == 'o' and value in ('!', '~', '-', '+'):
            self.take()
            operand = self.unary()
            return {'!': lambda: int(not operand), '~': lambda: ~operand,
                    '-': lambda: -operand, '+': lambda: operand}[value]()
        return self.primary()

    def primary(self):
        kind, value = self.take()
        if kind == 'n':
            return value
        if kind == 'o' and value == '(':
            result = self.conditional()
            self.take(')')
            return result
        if kind != 'i':
            raise Unknown(value)
        if value == 'defined':
            if self.peek() == ('o', '('):
                self.take('(')
                name = self.take()[1]
                self.take(')')
            else:
                name = self.take()[1]
            return int(name in self.pp.objects or name in self.pp.functions)
        if self.peek() == ('o', '('):
            fn = self.pp.functions.get(value)
            if fn is None:
                raise Unknown(value)
            depth, args = 1, []
            self.take('(')
            while depth:
                tok = self.take()
                if tok == ('o', '('):
                    depth += 1
                elif tok == ('o', ')'):
                    depth -= 1
                if depth:
                    args.append(tok)
            return fn(args)
        return self.pp.expand(value, self.depth)


def _strip_comments(text):
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if c == '/' and text.startswith('/*', i):
            end = text.find('*/', i + 2)
            end = n if end < 0 else end + 2
            out.append('\n' * text.count('\n', i, end) or ' ')  # keep line numbers
            i = end
        elif c == '/' and text.startswith('//', i):
            end = text.find('\n', i)
            i = n if end < 0 else end
        elif c in '"\'':
            j = i + 1
            while j < n and text[j] != c and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            out.append(text[i:j + 1])
            i = j + 1
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def _peel(body):
    """Strips parentheses, casts and type wrappers around a single operand."""
    text = body.strip()
    while True:
        before = text
        if text.startswith('(') and _closing(text, 0) == len(text) - 1:
            text = text[1:-1].strip()
        m = re.match(r'^\(\s*[A-Za-z_][\w\s]*\**\s*\)\s*(.+)$', text)
        if m and _closing(text, 0) < len(text) - 1:
            text = m.group(1).strip()
        m = re.match(r'^([A-Za-z_]\w*)\s*\((.*)\)$', text)
        if m and m.group(1) in WRAPPERS and _closing(text, text.index('(')) == len(text) - 1:
            text = m.group(2).strip()
        if text == before:
            return text


def _closing(text, open_at):
    depth = 0
    for i in range(open_at, len(text)):
        if text[i] == '(':
            depth += 1
        elif text[i] == ')':
            depth -= 1
            if depth == 0:
                return i
    return -1


def literal(pp, name, seen=()):
    """The number a constant stands for, as the header spells it; None for anything but a number."""
    body = pp.objects.get(name)
    if body is None or name in seen:
        return None
    text = _peel(body)
    m = NUMBER.match(text)
    if m:
        digits, suffix = m.groups()
        if len(digits) > 1 and digits[0] == '0' and digits[1] not in 'xX':
            raise SystemExit('%s: octal literal %s is not supported' % (name, text))
        return digits + ('L' if 'l' in suffix.lower() else '')
    if IDENT.match(text):
        return literal(pp, text, seen + (name,))
    return None


def build(include, winver):
    cache = {}

    def preprocess(header):
        if header not in cache:
            path = include / header
            if not path.is_file():
                raise SystemExit('missing header: %s' % path)
            pp = Preprocessor(winver)
            # Version names (_WIN32_WINNT_WIN7, NTDDI_WIN8, ...) that conditions compare against.
            if (include / 'sdkddkver.h').is_file():
                pp.run(include / 'sdkddkver.h')
                pp.defines.clear()
            pp.run(path)
            cache[header] = pp
        return cache[header]

    results, notes, owner = [], [], {}
    for set_name, hidden, sources in SETS:
        entries, counts, names = [], [], set()
        for header, select, label in sources:
            pp = preprocess(header)
            count = 0
            for d in pp.defines:
                if not select(d.name) or d.name in names:
                    continue
                if d.name in HEADER_LOCAL_ALIASES:
                    notes.append('%s: left out %s (a spelling local to %s)' % (set_name, d.name, header))
                    continue
                value = literal(pp, d.name)
                if value is None:
                    notes.append('%s: left out %s = %s (not a plain number)' % (set_name, d.name, d.body))
                    continue
                if d.uncertain:
                    notes.append('%s: %s sits under a condition that could not be decided' % (set_name, d.name))
                if d.name in owner:
                    raise SystemExit('%s is in both %s and %s' % (d.name, owner[d.name], set_name))
                owner[d.name] = set_name
                names.add(d.name)
                entries.append((d.name, value))
                count += 1
            counts.append((label, count))
        results.append((set_name, hidden, entries, counts))
    return results, notes


def write(out_dir, results):
    out_dir.mkdir(parents=True, exist_ok=True)
    for set_name, hidden, entries, _ in results:
        lines = ['_filename=windows.h', '_hidden=%s' % ('true' if hidden else 'false')]
        lines += ['%s=%s' % entry for entry in entries]
        data = ('\n'.join(lines) + '\n').encode('ascii')
        path = out_dir / (set_name + '.txt')
        if not path.is_file() or path.read_bytes() != data:
            path.write_bytes(data)


def main(argv=None):
    ap = argparse.ArgumentParser(description='Generates the default symbol sets from Windows headers.')
    ap.add_argument('--include', type=pathlib.Path, default=DEFAULT_INCLUDE,
                    help='directory holding winuser.h, winnt.h and winver.h (default: %(default)s)')
    ap.add_argument('--out', type=pathlib.Path, default=ROOT / 'resources' / 'symbols',
                    help='output directory (default: resources/symbols)')
    ap.add_argument('--winver', type=lambda s: int(s, 0), default=DEFAULT_WINVER,
                    help='WINVER/_WIN32_WINNT the headers are read for (default: 0x%04X)' % DEFAULT_WINVER)
    args = ap.parse_args(argv)

    results, notes = build(args.include, args.winver)
    write(args.out, results)
    for note in notes:
        print('note: ' + note)
    total = 0
    for set_name, _, entries, counts in results:
        detail = ', '.join('%s %d' % c for c in counts)
        print('%-10s %4d  (%s)' % (set_name, len(entries), detail))
        total += len(entries)
    print('%-10s %4d' % ('total', total))
    return 0


if __name__ == '__main__':
    sys.exit(main())
