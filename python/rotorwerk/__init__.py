"""The Rotorwerk three-rotor cipher machine: settings, machine, code files, trace and
attack, byte for byte as the rotorwerk program does them."""
from rotorwerk._native import (  # noqa: F401
    CHECKED_CODING_TYPE, FAULT_KINDS, PLAIN_CODING_TYPE, AttackOutcome, AttackStatus, Error,
    Machine, Settings, TraceStep, Verification, __version__, attack, decrypt, encrypt, keygen,
    trace)

# Named, so that help() shows the classes too, which live in the native module.
__all__ = ["CHECKED_CODING_TYPE", "FAULT_KINDS", "PLAIN_CODING_TYPE", "AttackOutcome",
           "AttackStatus", "Error", "Machine", "Settings", "TraceStep", "Verification",
           "attack", "decrypt", "encrypt", "keygen", "trace"]
