"""The Rotorwerk three-rotor cipher machine."""
from typing import Callable, Optional, Sequence, Union

__version__: str
PLAIN_CODING_TYPE: str  # "RW-26001A"
CHECKED_CODING_TYPE: str  # "RW-26001B": three check letters verify the start offsets


class Error(Exception):
    """A fault, with the program's message; kind names it ("settings", "format", ...)."""
    kind: str


class Settings:
    @staticmethod
    def load(directory: str = "") -> "Settings": ...
    @staticmethod
    def load_wiring(directory: str = "") -> "Settings": ...
    @staticmethod
    def parse(wiring_text: str, start_text: str) -> "Settings": ...
    @staticmethod
    def parse_wiring(wiring_text: str) -> "Settings": ...
    @property
    def has_start(self) -> bool: ...
    @property
    def wiring_text(self) -> str: ...
    @property
    def start_text(self) -> str: ...
    @property
    def rotor_count(self) -> int: ...
    @property
    def slots(self) -> list[int]: ...
    @property
    def offsets(self) -> list[int]: ...
    @property
    def plug_pairs(self) -> list[str]: ...


def keygen(rotors: int = 5, plugs: int = 10) -> Settings: ...


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
    def __init__(self, settings: Settings) -> None: ...
    def press(self, letter: str) -> str: ...
    def trace(self, letter: str) -> TraceStep: ...
    def reset(self) -> None: ...
    @property
    def positions(self) -> list[int]: ...


class Verification:
    lang: str
    coding_type_known: bool
    failed_checks: int
    truncated: bool
    verified: bool


def encrypt(settings: Settings, text: Union[bytes, str], lang: str = "en",
            coding_type: str = "RW-26001B") -> bytes: ...
def decrypt(settings: Settings, code: bytes) -> tuple[bytes, Verification]: ...
def trace(settings: Settings, text: Union[bytes, str], letters: int = 26,
          check_letters: bool = False) -> list[TraceStep]: ...


class AttackStatus:
    stage: int
    share: float
    best: float
    seconds_left: float


class AttackOutcome:
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
           ) -> AttackOutcome: ...
