"""Words of the languages whose Windows code pages Varnotte tells apart, from Debian packages.

Shared by build-language-tables (which learns letter statistics from them) and by
bench/code-page-accuracy (which writes databases from them). A word belongs to exactly one
of the two by a hash of its spelling, so the benchmark never sees a word the tables were
built from.

Sources, all installed as Debian packages (see PACKAGES): the word lists of /usr/share/dict,
the Hunspell dictionaries of /usr/share/hunspell, and the translated messages (.mo files) of
whatever packages are installed under /usr/share/locale.
"""

import gettext
import math
import re
import unicodedata
import zlib
from dataclasses import dataclass, field
from pathlib import Path

DICT = Path("/usr/share/dict")
HUNSPELL = Path("/usr/share/hunspell")
LOCALE = Path("/usr/share/locale")


@dataclass
class Language:
    tag: str          # as in locale names: "fr", "zh_TW"
    name: str
    code_page: int    # the ANSI code page Windows uses for it
    locale: str       # a locale of the language, for the benchmark
    word_lists: list = field(default_factory=list)  # files of /usr/share/dict
    hunspell: list = field(default_factory=list)    # dictionaries of /usr/share/hunspell
    messages: list = field(default_factory=list)    # folders of /usr/share/locale
    script: str = "latin"  # latin, cyrillic, greek, hebrew, arabic, thai, cjk


LANGUAGES = [
    Language("pl", "Polish", 1250, "pl_PL.UTF-8", ["polish"], [], ["pl"]),
    Language("cs", "Czech", 1250, "cs_CZ.UTF-8", [], ["cs_CZ"], ["cs"]),
    Language("sk", "Slovak", 1250, "sk_SK.UTF-8", [], ["sk_SK"], ["sk"]),
    Language("hu", "Hungarian", 1250, "hu_HU.UTF-8", [], ["hu_HU"], ["hu"]),
    Language("sl", "Slovenian", 1250, "sl_SI.UTF-8", [], ["sl_SI"], ["sl"]),
    Language("hr", "Croatian", 1250, "hr_HR.UTF-8", [], ["hr_HR"], ["hr"]),
    Language("ro", "Romanian", 1250, "ro_RO.UTF-8", [], ["ro_RO"], ["ro"]),
    Language("sq", "Albanian", 1250, "sq_AL.UTF-8", [], ["sq_AL"], ["sq"]),
    Language("ru", "Russian", 1251, "ru_RU.UTF-8", [], ["ru_RU"], ["ru"], "cyrillic"),
    Language("uk", "Ukrainian", 1251, "uk_UA.UTF-8", ["ukrainian"], [], ["uk"], "cyrillic"),
    Language("bg", "Bulgarian", 1251, "bg_BG.UTF-8", ["bulgarian"], [], ["bg"], "cyrillic"),
    Language("be", "Belarusian", 1251, "be_BY.UTF-8", [], ["be_BY"], ["be"], "cyrillic"),
    Language("sr", "Serbian", 1251, "sr_RS.UTF-8", [], ["sr_RS"], ["sr"], "cyrillic"),
    Language("kk", "Kazakh", 1251, "kk_KZ.UTF-8", [], ["kk_KZ"], ["kk"], "cyrillic"),
    Language("mk", "Macedonian", 1251, "mk_MK.UTF-8", [], [], ["mk"], "cyrillic"),
    Language("fr", "French", 1252, "fr_FR.UTF-8", ["french"], [], ["fr"]),
    Language("de", "German", 1252, "de_DE.UTF-8", ["ngerman"], [], ["de"]),
    Language("es", "Spanish", 1252, "es_ES.UTF-8", ["spanish"], [], ["es"]),
    Language("it", "Italian", 1252, "it_IT.UTF-8", ["italian"], [], ["it"]),
    Language("pt", "Portuguese", 1252, "pt_PT.UTF-8", ["portuguese"], [], ["pt"]),
    Language("nl", "Dutch", 1252, "nl_NL.UTF-8", ["dutch"], [], ["nl"]),
    Language("sv", "Swedish", 1252, "sv_SE.UTF-8", ["swedish"], [], ["sv"]),
    Language("nb", "Norwegian", 1252, "nb_NO.UTF-8", ["bokmaal"], [], ["nb"]),
    Language("da", "Danish", 1252, "da_DK.UTF-8", ["danish"], [], ["da"]),
    Language("ca", "Catalan", 1252, "ca_ES.UTF-8", ["catalan"], [], ["ca"]),
    Language("is", "Icelandic", 1252, "is_IS.UTF-8", [], ["is_IS"], ["is"]),
    Language("eu", "Basque", 1252, "eu_ES.UTF-8", [], ["eu"], ["eu"]),
    Language("ga", "Irish", 1252, "ga_IE.UTF-8", ["irish"], [], ["ga"]),
    Language("el", "Greek", 1253, "el_GR.UTF-8", [], ["el_GR"], ["el"], "greek"),
    Language("tr", "Turkish", 1254, "tr_TR.UTF-8", [], ["tr_TR"], ["tr"]),
    Language("he", "Hebrew", 1255, "he_IL.UTF-8", [], ["he_IL"], ["he"], "hebrew"),
    Language("ar", "Arabic", 1256, "ar_EG.UTF-8", [], ["ar"], ["ar"], "arabic"),
    Language("fa", "Persian", 1256, "fa_IR.UTF-8", [], ["fa_IR"], ["fa"], "arabic"),
    Language("et", "Estonian", 1257, "et_EE.UTF-8", [], ["et_EE"], ["et"]),
    Language("lv", "Latvian", 1257, "lv_LV.UTF-8", [], ["lv_LV"], ["lv"]),
    Language("lt", "Lithuanian", 1257, "lt_LT.UTF-8", [], ["lt_LT"], ["lt"]),
    Language("vi", "Vietnamese", 1258, "vi_VN.UTF-8", [], ["vi_VN"], ["vi"]),
    Language("th", "Thai", 874, "th_TH.UTF-8", [], ["th_TH"], ["th"], "thai"),
    Language("ja", "Japanese", 932, "ja_JP.UTF-8", [], [], ["ja"], "cjk"),
    Language("zh_CN", "Chinese (simplified)", 936, "zh_CN.UTF-8", [], [], ["zh_CN"], "cjk"),
    Language("ko", "Korean", 949, "ko_KR.UTF-8", [], ["ko_KR"], ["ko"], "cjk"),
    Language("zh_TW", "Chinese (traditional)", 950, "zh_TW.UTF-8", [], [], ["zh_TW"], "cjk"),
]

# The Debian packages the sources above come from (translated messages come with whatever
# is installed; iso-codes brings them for every language).
PACKAGES = [
    "wpolish", "wukrainian", "wbulgarian", "wfrench", "wngerman", "wspanish", "witalian",
    "wportuguese", "wdutch", "wswedish", "wnorwegian", "wdanish", "wcatalan", "wirish",
    "hunspell-cs", "hunspell-sk", "hunspell-hu", "hunspell-sl", "hunspell-hr", "hunspell-ro",
    "myspell-sq", "hunspell-ru", "hunspell-be", "hunspell-sr", "hunspell-kk", "hunspell-is",
    "hunspell-eu", "hunspell-el", "hunspell-tr", "hunspell-he", "hunspell-ar", "myspell-fa",
    "myspell-et", "hunspell-lv", "hunspell-lt", "hunspell-vi", "hunspell-th", "hunspell-ko",
    "iso-codes",
]

SCRIPT_RANGES = {
    "cyrillic": [(0x400, 0x4FF)],
    "greek": [(0x370, 0x3FF)],
    "hebrew": [(0x590, 0x5FF)],
    "arabic": [(0x600, 0x6FF)],
    "thai": [(0xE00, 0xE7F)],
    "cjk": [(0x3040, 0x30FF), (0x3400, 0x9FFF), (0xAC00, 0xD7A3), (0xF900, 0xFAFF)],
}


def held_out(word):
    """Whether `word` is kept for the benchmark (one in five) rather than for the tables."""
    return zlib.crc32(word.encode("utf-8")) % 5 == 0


def is_word_character(c):
    return unicodedata.category(c)[0] in "LM"


def split_words(text):
    words, current = [], []
    for c in text:
        if is_word_character(c):
            current.append(c)
        elif current:
            words.append("".join(current))
            current = []
    if current:
        words.append("".join(current))
    return words


def in_script(word, script):
    if script == "latin":
        return all(c < "\u0250" or "\u1E00" <= c <= "\u1EFF" or unicodedata.category(c) == "Mn"
                   for c in word)
    ranges = SCRIPT_RANGES[script]
    return any(any(lo <= ord(c) <= hi for lo, hi in ranges) for c in word) and \
        not any("a" <= c.lower() <= "z" for c in word)


def _hunspell_words(name):
    aff, dic = HUNSPELL / f"{name}.aff", HUNSPELL / f"{name}.dic"
    if not dic.exists():
        return []
    encoding = "utf-8"
    if aff.exists():
        match = re.search(rb"^SET\s+(\S+)", aff.read_bytes(), re.M)
        if match:
            encoding = match.group(1).decode("ascii").lower().replace("iso8859", "iso-8859")
    lines = dic.read_bytes().decode(encoding, errors="replace").lstrip("\ufeff").splitlines()
    words = []
    for line in lines[1:]:
        word = re.split(r"[/\t ]", line.strip(), maxsplit=1)[0]
        if word:
            words.append(word)
    return words


def _word_list(name):
    path = DICT / name
    if not path.exists():
        return []
    data = path.read_bytes()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        text = data.decode("iso-8859-1")
    return [line.strip() for line in text.splitlines() if line.strip()]


def _messages(folder):
    """Every translated message of the installed packages in `folder` of /usr/share/locale."""
    texts = []
    for mo in sorted((LOCALE / folder / "LC_MESSAGES").glob("*.mo")):
        try:
            with open(mo, "rb") as f:
                catalog = gettext.GNUTranslations(f)._catalog
        except Exception:  # a file gettext cannot read is simply passed over
            continue
        for key, value in catalog.items():
            if key and isinstance(value, str):
                texts.append(value)
    return texts


def english_messages():
    """The English originals of the French translations: the ASCII words other texts mix in."""
    texts = []
    for mo in sorted((LOCALE / "fr" / "LC_MESSAGES").glob("*.mo")):
        try:
            with open(mo, "rb") as f:
                catalog = gettext.GNUTranslations(f)._catalog
        except Exception:
            continue
        for key in catalog:
            if isinstance(key, str) and key:
                texts.append(key)
            elif isinstance(key, tuple) and key[0]:
                texts.append(key[0])
    return texts


def normalise(word, language):
    """`word` as a Windows machine of the language wrote it, before encoding."""
    if language.tag == "ro":  # the comma-below letters are not in 1250; their cedilla twins are
        word = word.translate(str.maketrans("șțȘȚ", "şţŞŢ"))
    if language.tag == "fa":  # Farsi yeh is not in 1256; the Arabic one stood in for it
        word = word.translate(str.maketrans("ی", "ي"))
    if language.tag == "vi":
        word = unicodedata.normalize("NFC", word)
    return word


def encode(word, code_page):
    """The bytes of `word` in `code_page` as iconv writes them (Vietnamese tones as marks)."""
    if code_page == 1258:
        out = bytearray()
        for c in unicodedata.normalize("NFC", word):
            try:
                out += c.encode("cp1258")
                continue
            except UnicodeEncodeError:
                pass
            decomposed = unicodedata.normalize("NFD", c)
            base = unicodedata.normalize("NFC", decomposed[:2])
            try:
                if len(base) == 1:
                    out += base.encode("cp1258") + decomposed[2:].encode("cp1258")
                else:
                    out += decomposed.encode("cp1258")
            except UnicodeEncodeError:
                return None
        return bytes(out)
    try:
        return word.encode(f"cp{code_page}")
    except UnicodeEncodeError:
        return None


def language_words(language, max_listed=None):
    """(dictionary words, words of running text): each a list of (word, bytes), words that
    the language's code page can hold, in the language's script. With `max_listed`, every
    n-th dictionary word so that no more than about that many are read."""
    def keep(words):
        out = []
        for word in words:
            word = normalise(word, language)
            if len(word) < 2 or not all(is_word_character(c) for c in word):
                continue
            if not in_script(word, language.script):
                continue
            data = encode(word, language.code_page)
            if data is not None:
                out.append((word, data))
        return out

    listed = []
    for name in language.word_lists:
        listed += _word_list(name)
    for name in language.hunspell:
        listed += _hunspell_words(name)
    listed = sorted(set(listed))
    if max_listed and len(listed) > max_listed:
        listed = listed[::math.ceil(len(listed) / max_listed)]
    running = []
    for folder in language.messages:
        for text in _messages(folder):
            running += split_words(text)
    return keep(listed), keep(running)
