"""A TCP relay for scripts/bench: it sits between a client and a server on
127.0.0.1 and makes the link between them far away, flaky, or both.

  latency_ms  the round-trip time. Each direction holds every chunk it reads
              for half of it, then forwards it: a delay line, not a bandwidth
              limit. Chunks read during a hold queue up and each leaves at its
              own arrival time plus half the round trip, however many there
              are. A new connection's first bytes to the server wait one more
              round trip, which the TCP handshake would have cost.
  cut_share   from 0 to 1: for each chunk read from the server (a read of
              up to CHUNK bytes), the share of
              chances that the relay cuts that connection right there,
              mid-answer: it forwards a prefix of the chunk, maybe none of
              it, then closes both sides. In a chunk that starts an answer
              the cut falls before its first byte, inside its head or after
              the head (inside the body), a third of the time each; in any
              other chunk, anywhere from its start on.

The random generator is seeded (each connection's from the seed and the
connection's number), so the decisions repeat from run to run as far as the
chunks fall the same. The relay counts the connections it accepted, the
cuts it made and the bytes it passed to the clients: what went over the
link, a cut answer counted as far as it came (the server's log counts it
whole). Every client connection makes one connection to the server.

It runs its own event loop on a thread of its own:

    relay = Relay(upstream_port, latency_ms=20, cut_share=0.02, seed=1)
    relay.start()        # relay.port is the port to connect to
    ...
    relay.counts()       # {"connections": N, "cuts": M, "bytes": B}
    relay.stop()

or from a shell: python3 relay.py UPSTREAM_PORT [--rtt-ms MS] [--cut-share S]
"""

import argparse
import asyncio
import collections
import random
import threading

HOST = "127.0.0.1"

# The most read from a socket at once: asyncio's own size, set here so that
# a cut's chance per chunk stays what it was.
CHUNK = 256 * 1024

# Bytes a delay line may hold before it stops reading its source: far above
# what any round trip here carries at loopback speed, so no throughput cap,
# only a bound on memory.
QUEUE_LIMIT = 64 * 1024 * 1024

# The event loop waits in whole milliseconds, rounded up: a timer fires up
# to 1 ms late. Releasing what is due within half of that, from a timer set
# half of it early, makes the hold right on average.
SLACK = 0.0005

_EOF = object()  # The source closed its sending side.
_CUT = object()  # The relay cuts the connection here.


class _Direction:
    """One way of one connection: reads from `source`, writes to `sink`,
    through a delay line when the relay has latency."""

    def __init__(self, link, from_server):
        self.link = link
        self.from_server = from_server
        self.source = None  # Transports, set once both sides are connected.
        self.sink = None
        self.queue = collections.deque()  # (due, data or _EOF or _CUT)
        self.queued = 0
        self.timer = None
        self.sink_full = False  # The sink's write buffer is over its mark.
        self.not_before = 0.0  # Loop time before which nothing is sent.

    def _update_reading(self):
        if self.source is None or self.link.closed:
            return
        hold = self.sink_full or self.queued > QUEUE_LIMIT
        try:
            if hold and self.source.is_reading():
                self.source.pause_reading()
            elif not hold and not self.source.is_reading():
                self.source.resume_reading()
        except (AttributeError, RuntimeError):
            pass  # Closing.

    def sink_paused(self, paused):
        self.sink_full = paused
        self._update_reading()

    def push(self, item):
        """Passes data, _EOF or _CUT on, now or after the hold."""
        delay = self.link.relay.one_way
        if delay <= 0:
            self._deliver(item)
            return
        loop = self.link.relay.loop
        due = max(loop.time(), self.not_before) + delay
        if self.queue:
            due = max(due, self.queue[-1][0])  # First in, first out.
        self.queue.append((due, item))
        if isinstance(item, bytes):
            self.queued += len(item)
            self._update_reading()
        if self.timer is None:
            self.timer = loop.call_at(due - SLACK, self._release)

    def _release(self):
        self.timer = None
        loop = self.link.relay.loop
        now = loop.time() + SLACK
        while self.queue and self.queue[0][0] <= now and not self.link.closed:
            _, item = self.queue.popleft()
            if isinstance(item, bytes):
                self.queued -= len(item)
            self._deliver(item)
        if self.queue and not self.link.closed:
            self.timer = loop.call_at(self.queue[0][0] - SLACK,
                                      self._release)
        self._update_reading()

    def _deliver(self, item):
        if self.link.closed:
            return
        if item is _CUT:
            self.link.close()
        elif item is _EOF:
            self.link.eof_sent(self.from_server)
        elif item:
            if self.from_server:
                self.link.relay.bytes_down += len(item)
            self.sink.write(item)

    def cancel(self):
        if self.timer is not None:
            self.timer.cancel()
            self.timer = None
        self.queue.clear()
        self.queued = 0


class _Side(asyncio.Protocol):
    """The protocol of one socket of a link: the client's or the server's."""

    def __init__(self, link, is_server):
        self.link = link
        self.is_server = is_server

    def connection_made(self, transport):
        if hasattr(transport, "max_size"):
            transport.max_size = CHUNK
        self.link.connected(self.is_server, transport)

    def data_received(self, data):
        self.link.received(self.is_server, data)

    def eof_received(self):
        self.link.eof_received(self.is_server)
        return True  # Half closed: the other way may still carry data.

    def connection_lost(self, exc):
        self.link.lost(self.is_server)

    def pause_writing(self):
        # This socket's buffer is full: the way that writes to it waits.
        self.link.way_to(self.is_server).sink_paused(True)

    def resume_writing(self):
        self.link.way_to(self.is_server).sink_paused(False)


class _Link:
    """A client connection and its connection to the server."""

    def __init__(self, relay, number):
        self.relay = relay
        self.rng = random.Random("%s:%d" % (relay.seed, number))
        self.client = None
        self.server = None
        self.closed = False
        self.cut = False  # Cut: what still comes from the client is dropped.
        self.upstream = _Direction(self, from_server=False)
        self.downstream = _Direction(self, from_server=True)
        self.eofs = set()  # Sides whose sending half is closed.

    def way_to(self, is_server):
        return self.upstream if is_server else self.downstream

    def connected(self, is_server, transport):
        if is_server:
            self.server = transport
            if self.closed:
                transport.close()
                return
            self.upstream.sink = self.downstream.source = transport
            self.client.resume_reading()
        else:
            self.client = transport
            self.downstream.sink = self.upstream.source = transport
            # The handshake's round trip, before the first bytes go up.
            self.upstream.not_before = (self.relay.loop.time()
                                        + 2 * self.relay.one_way)
            transport.pause_reading()  # Until the server side is there.
            self.relay.loop.create_task(self._connect_upstream())

    async def _connect_upstream(self):
        try:
            await self.relay.loop.create_connection(
                lambda: _Side(self, True), HOST, self.relay.upstream_port)
        except OSError:
            self.close()

    def received(self, is_server, data):
        if self.closed or self.cut:
            return
        if is_server and self.relay.cut_share > 0 and (
                self.rng.random() < self.relay.cut_share):
            self.relay.cuts += 1
            self.cut = True
            prefix = data[:self._cut_point(data)]
            # Nothing more from the server, nor to it.
            self.server.close()
            self.upstream.cancel()
            self.downstream.push(prefix)
            self.downstream.push(_CUT)
            return
        self.way_to(not is_server).push(data)

    def _cut_point(self, data):
        """How many bytes of a chunk from the server go through before the
        cut."""
        if not data.startswith(b"HTTP/"):
            return self.rng.randrange(len(data))
        head_end = data.find(b"\r\n\r\n")
        head_end = len(data) if head_end < 0 else head_end + 4
        where = self.rng.randrange(3)
        if where == 0:
            return 0  # Before the answer's first byte.
        if where == 1:
            return self.rng.randrange(1, head_end)  # Inside the head.
        # After the head: none of the body or some of what came with it.
        return self.rng.randrange(head_end, max(head_end + 1, len(data)))

    def eof_received(self, is_server):
        if not self.cut:
            self.way_to(not is_server).push(_EOF)

    def eof_sent(self, from_server):
        """The EOF of one side has come through to the other."""
        sink = self.client if from_server else self.server
        self.eofs.add(from_server)
        if len(self.eofs) == 2:
            self.close()
            return
        try:
            if sink.can_write_eof():
                sink.write_eof()
            else:
                self.close()
        except (OSError, RuntimeError):
            self.close()

    def lost(self, is_server):
        # A socket closed or reset: the link goes with it, once what that
        # side sent has come through (at once without latency).
        if not self.closed:
            self.way_to(not is_server).push(_CUT)

    def close(self):
        if self.closed:
            return
        self.closed = True
        self.upstream.cancel()
        self.downstream.cancel()
        for transport in (self.client, self.server):
            if transport is not None:
                transport.close()  # Sends what is buffered, then closes.
        self.relay.links.discard(self)


class Relay:
    """The relay in front of a server on 127.0.0.1:upstream_port."""

    def __init__(self, upstream_port, latency_ms=0.0, cut_share=0.0, seed=0):
        if not 0.0 <= cut_share <= 1.0:
            raise ValueError("cut_share must be from 0 to 1")
        if latency_ms < 0:
            raise ValueError("latency_ms must not be negative")
        self.upstream_port = upstream_port
        self.latency_ms = latency_ms
        self.one_way = latency_ms / 2000.0  # Seconds each way.
        self.cut_share = cut_share
        self.seed = seed
        self.port = None
        self.connections = 0
        self.cuts = 0
        self.bytes_down = 0  # Passed from the server to the clients.
        self.links = set()
        self.loop = None
        self._server = None
        self._thread = None

    def counts(self):
        return {"connections": self.connections, "cuts": self.cuts,
                "bytes": self.bytes_down}

    def _accept(self):
        self.connections += 1
        link = _Link(self, self.connections)
        self.links.add(link)
        return _Side(link, False)

    def start(self):
        """Listens on a free port of 127.0.0.1 (self.port) on a thread of
        its own."""
        self.loop = asyncio.new_event_loop()
        self._thread = threading.Thread(target=self.loop.run_forever,
                                        name="relay", daemon=True)
        self._thread.start()
        self._server = asyncio.run_coroutine_threadsafe(
            self.loop.create_server(self._accept, HOST, 0, backlog=512),
            self.loop).result()
        self.port = self._server.sockets[0].getsockname()[1]
        return self.port

    async def _shut(self):
        self._server.close()
        for link in list(self.links):
            link.close()
        await self._server.wait_closed()

    def stop(self):
        if self._thread is None:
            return
        try:
            asyncio.run_coroutine_threadsafe(self._shut(), self.loop).result(5)
        except Exception:  # Stopping regardless.
            pass
        self.loop.call_soon_threadsafe(self.loop.stop)
        self._thread.join(5)
        self._thread = None
        if not self.loop.is_running():
            self.loop.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("upstream_port", type=int)
    parser.add_argument("--rtt-ms", type=float, default=0.0)
    parser.add_argument("--cut-share", type=float, default=0.0)
    parser.add_argument("--seed", type=int, default=1)
    options = parser.parse_args()
    relay = Relay(options.upstream_port, options.rtt_ms, options.cut_share,
                  options.seed)
    relay.start()
    print("relay on %s:%d to port %d; Ctrl-C ends it"
          % (HOST, relay.port, options.upstream_port), flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        pass
    relay.stop()
    print("%(connections)d connections, %(cuts)d cuts, %(bytes)d bytes to "
          "the clients" % relay.counts())


if __name__ == "__main__":
    main()
