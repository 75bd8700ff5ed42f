#!/usr/bin/env python3
"""A TCP proxy on loopback that adds latency: every byte is passed on `--delay-ms` after it
arrived, in each direction, so a request and its answer see twice that as added round-trip
time. Bytes are read as soon as they come (a delay line, not a bandwidth limit), with at most
`--buffer` bytes held per direction before reading pauses.

The TCP handshake with the client is answered by the kernel at once and is not delayed; the
connection to the upstream server is opened when a client connects.

    delay_proxy.py --listen PORT --upstream PORT [--delay-ms 25] [--lifetime 900]

It serves 127.0.0.1 only and stops by itself after --lifetime seconds (or on SIGTERM/SIGINT).
"""
import argparse
import asyncio
import collections
import signal
import sys

READ_SIZE = 256 * 1024


async def pump(reader, writer, delay, buffer_limit):
    """Copies reader to writer, each chunk held back until `delay` seconds after its arrival."""
    loop = asyncio.get_running_loop()
    queue = collections.deque()
    queued = 0
    arrived = asyncio.Event()
    room = asyncio.Event()
    room.set()
    ended = False

    async def send():
        nonlocal queued
        while True:
            while not queue:
                if ended:
                    return
                arrived.clear()
                await arrived.wait()
            due, data = queue[0]
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            queue.popleft()
            queued -= len(data)
            if queued <= buffer_limit:
                room.set()
            writer.write(data)
            await writer.drain()

    sender = asyncio.create_task(send())
    try:
        while True:
            await room.wait()
            data = await reader.read(READ_SIZE)
            if not data:
                break
            queue.append((loop.time() + delay, data))
            queued += len(data)
            if queued > buffer_limit:
                room.clear()
            arrived.set()
    except (ConnectionError, OSError):
        pass
    ended = True
    arrived.set()
    try:
        await sender
        if writer.can_write_eof():
            writer.write_eof()
    except (ConnectionError, OSError):
        sender.cancel()


async def serve_client(client_reader, client_writer, upstream_port, delay, buffer_limit):
    try:
        upstream_reader, upstream_writer = await asyncio.open_connection("127.0.0.1", upstream_port)
    except OSError:
        client_writer.close()
        return
    try:
        await asyncio.gather(
            pump(client_reader, upstream_writer, delay, buffer_limit),
            pump(upstream_reader, client_writer, delay, buffer_limit),
        )
    finally:
        for writer in (client_writer, upstream_writer):
            writer.close()


async def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--listen", type=int, required=True)
    parser.add_argument("--upstream", type=int, required=True)
    parser.add_argument("--delay-ms", type=float, default=25.0, help="delay of each direction")
    parser.add_argument("--buffer", type=int, default=4 * 1024 * 1024, help="bytes held per direction at most")
    parser.add_argument("--lifetime", type=float, default=900.0, help="seconds until the proxy stops by itself")
    args = parser.parse_args()

    delay = args.delay_ms / 1000.0
    server = await asyncio.start_server(
        lambda r, w: serve_client(r, w, args.upstream, delay, args.buffer), "127.0.0.1", args.listen, backlog=256)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    print(f"delay proxy 127.0.0.1:{args.listen} -> 127.0.0.1:{args.upstream}, {args.delay_ms} ms each way",
          file=sys.stderr, flush=True)
    try:
        await asyncio.wait_for(stop.wait(), timeout=args.lifetime)
    except asyncio.TimeoutError:
        print("delay proxy: lifetime over", file=sys.stderr, flush=True)
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
