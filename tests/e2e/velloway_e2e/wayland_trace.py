"""libwayland's trace of a client (WAYLAND_DEBUG=client), read back: each request it sent ("->")
and event it read, with the client's time in milliseconds; the surface it gave an output, what it
damaged, the buffers it attached and the frames it showed."""

from __future__ import annotations

import re
from dataclasses import dataclass

from .processes import HarnessError

_TRACE_LINE = re.compile(r"^\[\s*(\d+\.\d+)\]\s+(-> )?\s*(\w+)@(\d+)\.(\w+)\((.*)\)\s*$")


@dataclass(frozen=True)
class Message:
    time_ms: float
    sent: bool  # a request; else an event
    interface: str
    object_id: int
    name: str
    args: str

    @property
    def target(self) -> str:
        return f"{self.interface}@{self.object_id}"

    def numbers(self) -> list[int]:
        return [int(value) for value in re.findall(r"-?\d+", self.args)]


# libwayland prints the time in microseconds of 32 bits, which start again every 71 minutes.
_TRACE_WRAP_MS = 2 ** 32 / 1000


def read_trace(text: str) -> list[Message]:
    messages, wrapped, last = [], 0.0, None
    for line in text.splitlines():
        match = _TRACE_LINE.match(line)
        if match:
            time_ms, sent, interface, object_id, name, args = match.groups()
            at = float(time_ms)
            if last is not None and at < last - _TRACE_WRAP_MS / 2:
                wrapped += _TRACE_WRAP_MS
            last = at
            messages.append(Message(at + wrapped, sent is not None, interface, int(object_id),
                                    name, args))
    return messages


TRACE_ENV = {"WAYLAND_DEBUG": "client"}


def surface_on(messages: list[Message], output: str) -> str:
    """The surface the client gave a role on the output of that name (a layer surface, or a
    fullscreen toplevel), as "wl_surface@N"."""
    outputs = {m.target for m in messages if m.interface == "wl_output" and m.name == "name"
               and m.args == f'"{output}"'}
    surfaces = {}  # xdg_toplevel -> wl_surface, through their xdg_surface
    for m in messages:
        if m.sent and m.name == "get_layer_surface":
            surface, on = re.findall(r"(wl_surface@\d+|wl_output@\d+)", m.args)[:2]
            if on in outputs:
                return surface
        elif m.sent and m.name == "get_xdg_surface":
            surfaces[re.search(r"xdg_surface@\d+", m.args).group()] = re.search(
                r"wl_surface@\d+", m.args).group()
        elif m.sent and m.name == "get_toplevel":
            surfaces[re.search(r"xdg_toplevel@\d+", m.args).group()] = surfaces[m.target]
        elif m.sent and m.name == "set_fullscreen" and m.args in outputs:
            return surfaces[m.target]
    raise HarnessError(f"no surface of the client's on {output}")


def damage(messages: list[Message], surface: str) -> list[tuple[float, tuple]]:
    """[(time in ms, (x, y, width, height))] of each area of the surface's buffer the client
    told the compositor it changed."""
    return [(m.time_ms, tuple(m.numbers())) for m in messages
            if m.sent and m.target == surface and m.name == "damage_buffer"]


def buffer_sizes(messages: list[Message], surface: str) -> set[tuple[int, int]]:
    """The sizes in pixels of the shared-memory buffers the client attached to the surface."""
    sizes = {}
    for m in messages:
        if m.sent and m.name == "create_buffer":
            buffer, _, width, height, *_ = m.args.split(", ")
            sizes[buffer.removeprefix("new id ")] = (int(width), int(height))
    return {sizes[m.args.split(",")[0]] for m in messages
            if m.sent and m.target == surface and m.name == "attach" and m.args.split(",")[0]
            in sizes}


def frames(messages: list[Message], surface: str) -> list[tuple[float, list[tuple]]]:
    """For each frame the compositor told the client of (wl_surface.frame's callback done, on
    surface): when, and the areas the client's next commit of the surface damaged (none: it
    showed the same frame again)."""
    callbacks = {re.search(r"wl_callback@\d+", m.args).group() for m in messages
                 if m.sent and m.target == surface and m.name == "frame"}
    shown, pending = [], None
    for m in messages:
        if not m.sent and m.target in callbacks and m.name == "done":
            if pending is not None:
                shown.append(pending)
            pending = (m.time_ms, [])
        elif pending is not None and m.sent and m.target == surface:
            if m.name == "damage_buffer":
                pending[1].append(tuple(m.numbers()))
            elif m.name == "commit":
                shown.append(pending)
                pending = None
    return shown
