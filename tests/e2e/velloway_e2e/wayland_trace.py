"""libwayland's trace of a client (WAYLAND_DEBUG=client), read back: each request it sent ("->")
and event it read, with the client's time in milliseconds; the surface it gave an output, what it
changed there (in its buffer, or by placing the subsurfaces that show its lines), the buffers it
attached and the frames it showed."""

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


def commits(messages: list[Message], surface: str) -> list[tuple[float, list[tuple]]]:
    """For each commit of the surface: when, and the areas (x, y, width, height) it changed on
    the surface: those of its buffer damaged, and where each line the client shows as a
    subsurface of it (cropped by a viewport) lies now, for each that moved or showed another
    buffer since the commit before."""
    children, places, viewports = set(), {}, {}  # wl_surface; wl_subsurface, wp_viewport -> it
    at, size, changed, areas, told = {}, {}, set(), [], []
    for m in messages:
        if not m.sent:
            continue
        if m.name == "get_subsurface":
            place, child, parent = re.findall(r"(wl_subsurface@\d+|wl_surface@\d+)", m.args)
            if parent == surface:
                children.add(child)
                places[place] = child
        elif m.name == "get_viewport":
            viewport, child = re.findall(r"(wp_viewport@\d+|wl_surface@\d+)", m.args)[:2]
            viewports[viewport] = child
        elif m.name == "destroy" and m.target in children:
            children.discard(m.target)
            changed.discard(m.target)
        elif m.name == "attach" and m.target in children:
            changed.add(m.target)
        elif m.name == "set_destination" and viewports.get(m.target) in children:
            size[viewports[m.target]] = tuple(m.numbers())
            changed.add(viewports[m.target])
        elif m.name == "set_position" and places.get(m.target) in children:
            at[places[m.target]] = tuple(m.numbers())
            changed.add(places[m.target])
        elif m.target == surface and m.name == "damage_buffer":
            areas.append(tuple(m.numbers()))
        elif m.target == surface and m.name == "commit":
            areas += [at[child] + size[child] for child in sorted(changed)
                      if child in at and child in size]
            told.append((m.time_ms, areas))
            changed, areas = set(), []
    return told


def damage(messages: list[Message], surface: str) -> list[tuple[float, tuple]]:
    """[(time in ms, (x, y, width, height))] of each area of the surface the client told the
    compositor it changed, at the commit that showed it."""
    return [(time_ms, area) for time_ms, areas in commits(messages, surface) for area in areas]


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
    surface): when, and the areas the client's next commit of the surface changed (none: it
    showed the same frame again)."""
    callbacks = {re.search(r"wl_callback@\d+", m.args).group() for m in messages
                 if m.sent and m.target == surface and m.name == "frame"}
    done = [m.time_ms for m in messages
            if not m.sent and m.target in callbacks and m.name == "done"]
    committed = commits(messages, surface)
    shown, next_commit = [], 0
    for at, until in zip(done, done[1:] + [float("inf")]):
        while next_commit < len(committed) and committed[next_commit][0] < at:
            next_commit += 1
        told = next_commit < len(committed) and committed[next_commit][0] < until
        shown.append((at, committed[next_commit][1] if told else []))
    return shown
