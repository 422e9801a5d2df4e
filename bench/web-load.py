"""Clients of the program's web server for the CPU benchmark: CLIENTS connections polling /api/values every
POLL seconds and one scraping /metrics every second, each on a kept-alive connection, for SECONDS. Prints the
/metrics answer times (from the request to the whole body) and the count of failed requests.
   web-load.py PORT SECONDS [CLIENTS] [POLL]"""
import http.client
import sys
import threading
import time

port, seconds = int(sys.argv[1]), float(sys.argv[2])
clients = int(sys.argv[3]) if len(sys.argv) > 3 else 10
poll = float(sys.argv[4]) if len(sys.argv) > 4 else 0.5
end = time.monotonic() + seconds
times, failures, lock = [], [0], threading.Lock()


def client(path, period, timed):
    connection = None
    next_at = time.monotonic()
    while next_at < end:
        time.sleep(max(0.0, next_at - time.monotonic()))
        next_at += period
        try:
            connection = connection or http.client.HTTPConnection("127.0.0.1", port, timeout=5)
            start = time.monotonic()
            connection.request("GET", path)
            response = connection.getresponse()
            response.read()
            took = time.monotonic() - start
            if response.status != 200:
                raise OSError(response.status)
            if timed:
                with lock:
                    times.append(took)
        except (OSError, http.client.HTTPException):
            with lock:
                failures[0] += 1
            if connection:
                connection.close()
            connection = None


threads = [threading.Thread(target=client, args=("/api/values", poll, False)) for _ in range(clients)]
threads.append(threading.Thread(target=client, args=("/metrics", 1.0, True)))
for i, t in enumerate(threads):
    time.sleep(poll / len(threads) * (i > 0))  # spread over the period, as independent clients would be
    t.start()
for t in threads:
    t.join()
times.sort()
if times:
    pick = lambda q: times[min(len(times) - 1, int(q * len(times)))] * 1000
    print("web-load: /metrics %d answers: median %.1f ms, p99 %.1f ms, max %.1f ms; %d failed requests" % (
        len(times), pick(0.5), pick(0.99), times[-1] * 1000, failures[0]))
else:
    print("web-load: no answer; %d failed requests" % failures[0])
