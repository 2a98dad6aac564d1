#!/usr/bin/env python3
"""Holds the translation catalogues to the texts the code builds.

Fails when a key the code builds is missing from the Russian catalogue or carries another
Russian text there, when a translation lacks a key or leaves it unfinished, when a catalogue
holds a key nothing builds, when a "%N" marker of a text is missing from its translation, and
when one key is built with two different texts (a catalogue holds one text per key). The
cashier's screen's catalogues (tillgui_*.ts) are keyed by context and English source instead:
each text tillgui/ passes to guitext::text() needs a finished translation there, with its
markers, the English one word for word, and nothing else may be there. The set-up check's
catalogue (tillcheck_en.ts) is keyed by id and holds the English texts `till check` prints: every
key till/check/ names needs a finished text there, the translation its source word for word, and
no key may be there that till/check/ does not name.

usage: check_catalogues.py SOURCE_DIR
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ElementTree

LITERALS = r'((?:"(?:[^"\\]|\\.)*"\s*)+)'
# tr::Tr("key", "text") and tr::Tr(QStringLiteral("key"), QStringLiteral("text" "more")), and
# the base's unavailable("key", "text"), whose literals become a tr::Tr.
MESSAGE = re.compile(
    r'\b(?:tr::Tr|unavailable)\(\s*(?:QStringLiteral\(\s*)?"([A-Za-z]+)"\s*\)?\s*,\s*'
    r'(?:QStringLiteral\(\s*)?' + LITERALS)
# The service's errors as the local service sends them: errorReply(status, code, text).
SERVICE_ERROR = re.compile(
    r'\b(?:OrderBook::)?errorReply\(\s*[^,]+,\s*QStringLiteral\(\s*"([a-z_]+)"\s*\)\s*,\s*'
    r'QStringLiteral\(\s*' + LITERALS)
# The cashier's screen's own texts: guitext::text("English text"), looked up in the screen's
# catalogues by context and source rather than by id.
SCREEN_TEXT = re.compile(r'(?<![\w.>:])(?:guitext::)?text\(\s*' + LITERALS + r'\)')
SCREEN_CONTEXT = 'tillgui'
# The set-up check's keys: a literal passed to CheckTexts::text(), or any other literal spelt as
# the keys are (camelCase), which till/check/ hands to its helpers that end in text().
CHECK_TEXT = re.compile(r'(?<![\w.>])(?:CheckTexts::)?text\(\s*"([A-Za-z0-9]+)"\s*\)')
CHECK_KEY_LIKE = re.compile(r'"([a-z]+[A-Z][A-Za-z0-9]*)"')
IDENTIFIER_LITERAL = re.compile(r'"([A-Za-z][A-Za-z0-9]*)"')
MARKER = re.compile(r'%\d{1,2}')
ESCAPES = {'n': '\n', 't': '\t', '"': '"', "'": "'", '\\': '\\'}

# The message the client builds for a service error whose code is no string: its text is the
# service's own, so the catalogue's default is ours.
GENERIC_SERVICE_KEY = 'velmor'


def literal_text(literals):
    parts = re.findall(r'"((?:[^"\\]|\\.)*)"', literals)
    return re.sub(r'\\(.)', lambda m: ESCAPES.get(m.group(1), m.group(0)), ''.join(parts))


def service_key(code):
    """The client's getTrId: "velmor" and each underscore part with its first letter raised."""
    return 'velmor' + ''.join(part[:1].upper() + part[1:] for part in code.split('_') if part)


def sources(root, folders):
    for folder in folders:
        for path in sorted((root / folder).rglob('*')):
            if path.suffix in ('.cpp', '.h'):
                yield path


def built_messages(root, folders, problems):
    """key -> Russian text, for every message the sources in `folders` build."""
    messages = {}
    for path in sources(root, folders):
        for key, literals in MESSAGE.findall(path.read_text(encoding='utf-8')):
            text = literal_text(literals)
            if messages.get(key, text) != text:
                problems.append(f'{key}: built with two texts, "{messages[key]}" and "{text}"'
                                f' ({path.relative_to(root)})')
            messages.setdefault(key, text)
    return messages


def service_messages(root):
    messages = {GENERIC_SERVICE_KEY: None}
    for path in sorted((root / 'sandbox').glob('*.cpp')):
        for code, literals in SERVICE_ERROR.findall(path.read_text(encoding='utf-8')):
            messages[service_key(code)] = literal_text(literals)
    return messages


def read_catalogue(path, problems):
    """id -> (source, translation, finished)."""
    entries = {}
    for message in ElementTree.parse(path).getroot().iter('message'):
        key = message.get('id')
        translation = message.find('translation')
        if not key:
            problems.append(f'{path.name}: a message without an id')
            continue
        if key in entries:
            problems.append(f'{path.name}: {key} is there twice')
        entries[key] = (message.findtext('source') or '', translation.text or '',
                        translation.get('type') not in ('unfinished', 'obsolete', 'vanished'))
    return entries


def check(root, name, built, problems):
    catalogues = sorted((root / 'translations').glob(f'{name}_*.ts'))
    languages = [path.stem.split('_', 1)[1] for path in catalogues]
    for required in ('ru', 'en'):
        if required not in languages:
            problems.append(f'{name}_{required}.ts is missing')
    for path in catalogues:
        language = path.stem.split('_', 1)[1]
        entries = read_catalogue(path, problems)
        for key, text in built.items():
            if key not in entries:
                problems.append(f'{path.name}: {key} is missing')
                continue
            source, translation, finished = entries[key]
            if text is not None and source != text:
                problems.append(f'{path.name}: {key}: source "{source}", the code builds "{text}"')
            if not finished or not translation.strip():
                problems.append(f'{path.name}: {key} has no finished translation')
            elif sorted(MARKER.findall(source)) != sorted(MARKER.findall(translation)):
                problems.append(f'{path.name}: {key}: the translation "{translation}" does not '
                                f'keep the markers of "{source}"')
            elif language == 'ru' and translation != source:
                problems.append(f'{path.name}: {key}: the Russian translation differs from '
                                f'its source')
        for key in sorted(set(entries) - set(built)):
            problems.append(f'{path.name}: {key} is built by nothing')


def screen_texts(root):
    """The English texts the screen's sources in tillgui/ pass to guitext::text()."""
    texts = set()
    for path in sources(root, ('tillgui',)):
        for literals in SCREEN_TEXT.findall(path.read_text(encoding='utf-8')):
            texts.add(literal_text(literals))
    return texts


def check_screen(root, name, built, problems):
    """A catalogue keyed by source text in one context: every built text translated, with its
    markers kept, the English one word for word, and nothing else."""
    catalogues = sorted((root / 'translations').glob(f'{name}_*.ts'))
    languages = [path.stem.split('_', 1)[1] for path in catalogues]
    for required in ('ru', 'en'):
        if required not in languages:
            problems.append(f'{name}_{required}.ts is missing')
    for path in catalogues:
        language = path.stem.split('_', 1)[1]
        entries = {}
        for context in ElementTree.parse(path).getroot().iter('context'):
            context_name = context.findtext('name') or ''
            for message in context.iter('message'):
                source = message.findtext('source') or ''
                if context_name != SCREEN_CONTEXT or message.get('id'):
                    problems.append(f'{path.name}: "{source}" is not keyed by context '
                                    f'{SCREEN_CONTEXT} and its source')
                    continue
                if source in entries:
                    problems.append(f'{path.name}: "{source}" is there twice')
                translation = message.find('translation')
                entries[source] = (translation.text or '', translation.get('type') not in
                                   ('unfinished', 'obsolete', 'vanished'))
        for source in sorted(built):
            if source not in entries:
                problems.append(f'{path.name}: "{source}" is missing')
                continue
            translation, finished = entries[source]
            if not finished or not translation.strip():
                problems.append(f'{path.name}: "{source}" has no finished translation')
            elif sorted(MARKER.findall(source)) != sorted(MARKER.findall(translation)):
                problems.append(f'{path.name}: "{source}": the translation "{translation}" '
                                f'does not keep its markers')
            elif language == 'en' and translation != source:
                problems.append(f'{path.name}: "{source}": the English translation differs '
                                f'from its source')
        for source in sorted(set(entries) - built):
            problems.append(f'{path.name}: "{source}" is used by nothing')


def check_texts(root, host_keys):
    """(named, mentioned): the keys till/check/ passes to text() or spells as keys, less the
    host's message keys it compares with, and every identifier-like literal there."""
    named, mentioned = set(), set()
    for path in sources(root, (pathlib.Path('till') / 'check',)):
        code = path.read_text(encoding='utf-8')
        named.update(CHECK_TEXT.findall(code))
        named.update(key for key in CHECK_KEY_LIKE.findall(code) if key not in host_keys)
        mentioned.update(IDENTIFIER_LITERAL.findall(code))
    return named, mentioned


def check_by_id_in_english(root, name, named, mentioned, problems):
    """A catalogue keyed by id whose source is the English text: each named key there with a
    finished translation equal to its source, and no key that nothing mentions."""
    path = root / 'translations' / f'{name}_en.ts'
    if not path.exists():
        problems.append(f'{path.name} is missing')
        return {}
    entries = read_catalogue(path, problems)
    for key in sorted(named - set(entries)):
        problems.append(f'{path.name}: {key} is missing')
    for key, (source, translation, finished) in sorted(entries.items()):
        if not source.strip():
            problems.append(f'{path.name}: {key} has no source text')
        elif not finished or translation != source:
            problems.append(f'{path.name}: {key}: the translation is not finished or differs '
                            f'from its source')
    for key in sorted(set(entries) - mentioned):
        problems.append(f'{path.name}: {key} is used by nothing')
    return entries


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else '.').resolve()
    problems = []
    plugin = built_messages(root, ('plugin', 'processing', 'velmor'), problems)
    plugin.update(service_messages(root))
    host = built_messages(root, ('host',), problems)
    check(root, 'velmor', plugin, problems)
    check(root, 'zelnarhost', host, problems)
    screen = screen_texts(root)
    check_screen(root, 'tillgui', screen, problems)
    named, mentioned = check_texts(root, set(host))
    check_entries = check_by_id_in_english(root, 'tillcheck', named, mentioned, problems)
    for problem in problems:
        print(problem)
    print(f'{len(plugin)} plug-in keys, {len(host)} host keys, {len(screen)} screen texts, '
          f'{len(check_entries)} check texts, {len(problems)} problems')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
