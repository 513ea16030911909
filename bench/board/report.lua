-- wrk's summary as one line for board_bench.py: requests, seconds, latency p50/p99/max in
-- microseconds, errors (connect, read, write, non-2xx, timeout) and bytes read.
done = function(summary, latency, requests)
    local e = summary.errors
    io.write(string.format("WRK %d %.3f %d %d %d %d %d %d %d %d %d\n", summary.requests,
        summary.duration / 1e6, latency:percentile(50), latency:percentile(99), latency.max,
        e.connect, e.read, e.write, e.status, e.timeout, summary.bytes))
end
