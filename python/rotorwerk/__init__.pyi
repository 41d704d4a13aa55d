"""The Rotorwerk three-rotor cipher machine: settings, machine, code files, trace and
attack, byte for byte as the rotorwerk program does them."""
from typing import Callable, Optional, Sequence, Union

__version__: str
PLAIN_CODING_TYPE: str  # "RW-26001A"
CHECKED_CODING_TYPE: str  # "RW-26001B": three check letters verify the start offsets
FAULT_KINDS: tuple[str, ...]  # every Error.kind, in the library's order


class Error(Exception):
    """A fault, with the program's message; kind names it, one of FAULT_KINDS ("settings",
    "format", ...)."""
    kind: str


class Settings:
    """A key: the wiring file and, unless only the wiring is known, the start file."""
    @staticmethod
    def load(directory: str = "") -> "Settings":
        """Both files of a folder ("": the working directory), read under the folder's lock;
        other threads run while it waits."""
    @staticmethod
    def load_wiring(directory: str = "") -> "Settings":
        """The wiring file of a folder alone, for the attack."""
    @staticmethod
    def parse(wiring_text: str, start_text: str) -> "Settings":
        """Settings from the texts of a wiring file and a start file."""
    @staticmethod
    def parse_wiring(wiring_text: str) -> "Settings":
        """Settings from the text of a wiring file alone."""
    @property
    def has_start(self) -> bool:
        """Whether a start file is known: only then can they encipher."""
    @property
    def wiring_text(self) -> str:
        """The wiring file's text, as the program writes it."""
    @property
    def start_text(self) -> str:
        """The start file's text, or "" without one."""
    @property
    def rotor_count(self) -> int:
        """The rotors the wiring file holds."""
    @property
    def slots(self) -> list[int]:
        """The rotor numbers in the left, middle and right slot."""
    @property
    def offsets(self) -> list[int]:
        """The left, middle and right start offsets."""
    @property
    def plug_pairs(self) -> list[str]:
        """The plug pairs, each two lowercase letters."""


def keygen(rotors: int = 5, plugs: int = 10) -> Settings:
    """Fresh settings from the system's cryptographic random source: rotors (1 to 10)
    wirings and plugs (0 to 13) plug pairs."""


class TraceStep:
    """One letter's way: the positions after stepping, and each stage's letter 0..25."""
    positions: list[int]
    input: int
    plugboard: int
    right_rotor: int
    middle_rotor: int
    left_rotor: int
    reflector: int
    left_back: int
    middle_back: int
    right_back: int
    output: int


class Machine:
    """The machine of a key with a start file, typed at letter by letter."""
    def __init__(self, settings: Settings) -> None: ...
    def press(self, letter: str) -> str:
        """Steps the rotors and enciphers one letter; any other character passes unchanged and
        steps nothing."""
    def trace(self, letter: str) -> TraceStep:
        """Presses a letter and gives every stage of its way."""
    def reset(self) -> None:
        """Back to the start offsets."""
    @property
    def positions(self) -> list[int]:
        """The left, middle and right rotor positions now."""


class Verification:
    """What deciphering found besides the text."""
    lang: str
    coding_type_known: bool
    failed_checks: int
    truncated: bool
    verified: bool


def encrypt(settings: Settings, text: Union[bytes, str], lang: str = "en",
            coding_type: str = "RW-26001B") -> bytes:
    """Enciphers a text (bytes, or str as UTF-8) into a code file's bytes, as the program does."""
def decrypt(settings: Settings, code: bytes) -> tuple[bytes, Verification]:
    """Deciphers a code file's bytes: the text and its verification."""
def trace(settings: Settings, text: Union[bytes, str], letters: int = 26,
          check_letters: bool = False) -> list[TraceStep]:
    """The steps of the first letters of a text, and with check_letters those of the three
    check letters."""


class AttackStatus:
    """How far the attack has come: its stage (1 to 4), the share of it done, the best score."""
    stage: int
    share: float
    best: float
    seconds_left: float


class AttackOutcome:
    """The start file the attack found, and the evidence for it."""
    scored: bool
    confident: bool
    searched: bool
    evidence: str
    scored_by: str
    score: float
    check_letters: str
    candidates_checked: int
    first_line: bytes
    slots: list[int]
    offsets: list[int]
    plug_pairs: list[str]
    start_text: str


def attack(code: Union[bytes, Sequence[bytes]], wiring: Settings, *, threads: int = 0,
           time_limit: int = 300, crib: Optional[str] = None, language: str = "en",
           on_progress: Optional[Callable[[AttackStatus], Optional[bool]]] = None
           ) -> AttackOutcome:
    """Finds the start file of code (one code file's bytes or several under one key) under a
    known wiring. on_progress is called a few times a second; a false answer other than
    None stops the search with the best key so far, as an exception or Ctrl-C does."""
