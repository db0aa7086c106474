-- wrk: a valid account look-up (the token is the MD5 of "vorlane" and the salt).
-- With VENDOR_API_CHECK set, every reply is checked and the bad ones counted.
wrk.method = "POST"
wrk.body = "user_account=vorlane&token=D58B6D19EC89C86BD6B9B6644C2982B7"
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
if os.getenv("VENDOR_API_CLOSE") then wrk.headers["Connection"] = "close" end

local threads = {}
function setup(thread) table.insert(threads, thread) end
function init(args) bad = 0 end

if os.getenv("VENDOR_API_CHECK") then
  function response(status, headers, body)
    if status ~= 200 or not body:find('"result":1', 1, true) then bad = bad + 1 end
  end
end

function done(summary, latency, requests)
  local n = 0
  for _, t in ipairs(threads) do n = n + (t:get("bad") or 0) end
  io.write(string.format("bad replies: %d\n", n))
end
