#!/usr/bin/python3
"""A radio server that bursts: answers at once with ICY headers and the first BURST bytes of FILE,
then sends the rest at the stream's bit rate, looping. Prints its port, then serves until killed.

  burst_server.py FILE [--kbps 128] [--burst 65536]
"""
import argparse
import socket
import sys
import threading
import time


def serve(conn, data, kbps, burst):
    try:
        conn.recv(65536)  # the request; every path gets the stream
        conn.sendall(b"ICY 200 OK\r\ncontent-type: audio/mpeg\r\nicy-name: Burst\r\n\r\n")
        conn.sendall(data[:burst])
        sent = burst
        rate = kbps * 1000 / 8
        start = time.monotonic()  # the burst stays ahead of the clock, as a real server's does
        while True:
            chunk = bytearray()
            while len(chunk) < 4096:
                take = data[sent % len(data):sent % len(data) + 4096 - len(chunk)]
                chunk += take
                sent += len(take)
            conn.sendall(chunk)
            due = start + (sent - burst) / rate
            time.sleep(max(0.0, due - time.monotonic()))
    except OSError:
        pass
    finally:
        conn.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--kbps", type=int, default=128)
    parser.add_argument("--burst", type=int, default=65536)
    args = parser.parse_args()
    with open(args.file, "rb") as f:
        data = f.read()
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=serve, args=(conn, data, args.kbps, args.burst), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
