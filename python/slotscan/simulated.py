# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Card models in Python for the simulated PC (PORTVEX=sim:FILE).

A model takes over a card's whole I/O range (BAR4, the base ``Card.read`` and ``Card.write``
reach), in place of the registers the rack file declares::

    class Model:
        def read(self, offset: int) -> int: ...
        def write(self, offset: int, value: int) -> None: ...

    slotscan.simulated.attach(1, Model())   # card number 1; or a Card, or a slot "00:0a.0"

Offsets are from the card's I/O base. The model runs inside the port access, on the thread
making it, under the package's lock. An exception raised by the model, or a value that is not
0 to 0xFFFFFFFF, reaches the caller of ``Card.read``/``Card.write`` as a ``ModelError``
whose ``__cause__`` is the original exception.
"""

from __future__ import annotations

import ctypes
import operator
import threading
from typing import Callable, Protocol

import slotscan

from . import _native

__all__ = ["CardModel", "ModelError", "SimulationError", "attach", "detach"]



class CardModel(Protocol):
    """What attach() needs of a model."""

    def read(self, offset: int) -> int: ...

    def write(self, offset: int, value: int) -> None: ...


class SimulationError(slotscan.SlotscanError):
    """The port layer is not the simulated PC, or it refused the model."""


class ModelError(slotscan.SlotscanError):
    """A card model failed during a port access; __cause__ holds what it raised."""


# Callbacks must outlive every access that may call them: kept per card until detached.
_attached: dict[str, tuple[CardModel, object, object]] = {}
# What a model raised during the access under way on this thread.
_pending = threading.local()


def _raise_pending() -> None:
    error: BaseException | None = getattr(_pending, "error", None)
    if error is not None:
        _pending.error = None
        raise error


def _fail(description: str, err: BaseException) -> None:
    if isinstance(err, (KeyboardInterrupt, SystemExit)):
        _pending.error = err  # raised as it is, not wrapped
        return
    wrapped = ModelError(f"{description} raised {type(err).__name__}: {err}")
    wrapped.__cause__ = err
    if getattr(_pending, "error", None) is None:  # the first failure is the one to see
        _pending.error = wrapped


def _card_name(card: int | str | slotscan.Card) -> str:
    """The slot or I/O base the simulated PC knows the card by."""
    if isinstance(card, slotscan.Card):
        return f"{card.io_base:#x}"
    if isinstance(card, str):
        return card
    found = slotscan.find(operator.index(card))
    if found is None:
        raise slotscan.CardNotFoundError(f"no card is numbered {card}")
    return f"{found.io_base:#x}"


def _call(function: Callable[..., int], name: str, *arguments: object) -> None:
    """Calls portvex_sim_attach or portvex_sim_detach; SimulationError with the port
    layer's reason when it refuses (a backend other than the simulated PC included)."""
    slotscan._enter_port_layer()  # the port layer chooses its backend, as for a lookup
    why = ctypes.create_string_buffer(512)
    if not function(name.encode(), *arguments, why, ctypes.sizeof(why)):
        raise SimulationError(f"card {name}: {why.value.decode(errors='replace')}")


def attach(card: int | str | slotscan.Card, model: CardModel) -> None:
    """Put `model` behind the I/O range of a card: its number, a Card, or its slot."""
    for method in ("read", "write"):
        if not callable(getattr(model, method, None)):
            raise TypeError(f"a card model needs a {method}() method; {model!r} has none")

    with slotscan._lock:
        name = _card_name(card)
        described = f"the model {type(model).__name__} of card {card}"

        def read(_context: object, offset: int) -> int:
            try:
                value = operator.index(model.read(offset))
                if not 0 <= value <= 0xFFFFFFFF:
                    raise ValueError(f"read must return 0 to 0xFFFFFFFF, not {value}")
                return value
            except BaseException as err:  # noqa: B036 - handed to the caller, never lost
                _fail(f"{described} in read({offset:#x})", err)
                return 0xFFFFFFFF

        def write(_context: object, offset: int, value: int) -> None:
            try:
                model.write(offset, value)
            except BaseException as err:  # noqa: B036 - handed to the caller, never lost
                _fail(f"{described} in write({offset:#x}, {value:#x})", err)

        callbacks = (_native.SIM_READ(read), _native.SIM_WRITE(write))
        _call(_native.portvex.portvex_sim_attach, name, *callbacks, None)
        _attached[name] = (model, *callbacks)
        slotscan._after_access = _raise_pending


def detach(card: int | str | slotscan.Card) -> None:
    """Give the card its rack registers back."""
    with slotscan._lock:
        name = _card_name(card)
        _call(_native.portvex.portvex_sim_detach, name)
        _attached.pop(name, None)
