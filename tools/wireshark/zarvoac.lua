-- Wireshark / tshark dissector for ZarvoAC controller lines, as written by
-- Zarvo_LineCapture, `zarvoctl --pcap FILE` and the Python port.capture().
--
-- Load it with `wireshark -X lua_script:zarvoac.lua FILE` (or tshark), or
-- copy it into the personal Lua plugins folder (Help > About > Folders).
-- It claims link type USER0 (147), so capture files open decoded with no
-- further setup; another USER0 dissector configured under "DLT User" takes
-- precedence over it.
--
-- Each record: 1 byte direction (0 request, 1 reply), 1 byte name length N,
-- N bytes port name, then the frame as it crossed the wire. Requests are
-- E1, body, CRC-16/XMODEM of the body (high byte first), 1E; replies are
-- D2, type, address, command, status, payload, 2 checksum bytes, 2D. Every
-- byte between the marks travels as two bytes, its high and low nibble.

local zarvo = Proto("zarvoac", "ZarvoAC controller line")

-- Bit operations: bit32 (Lua 5.2), the BitOp library, or Lua 5.3 operators.
local bops = bit32 or bit
local band, bxor, lshift, rshift
if bops then
  band, bxor, lshift, rshift = bops.band, bops.bxor, bops.lshift, bops.rshift
else
  band, bxor, lshift, rshift = load([[
    return function(a, b) return a & b end, function(a, b) return a ~ b end,
           function(a, n) return a << n end, function(a, n) return a >> n end]])()
end

local REQUEST_START, REQUEST_END = 0xE1, 0x1E
local REPLY_START, REPLY_END = 0xD2, 0x2D

local directions = { [0] = "request", [1] = "reply" }

local commands = {
  [1] = "probe", [2] = "change-address", [3] = "read-version", [4] = "set-clock",
  [6] = "change-baud", [7] = "initialise", [8] = "device-information",
  [9] = "read-event-block", [11] = "read-event", [12] = "next-event",
  [15] = "clear-events", [16] = "restore-events", [18] = "write-card",
  [19] = "delete-card", [20] = "write-card-flagged", [22] = "read-card",
  [23] = "write-double-card", [24] = "delete-double-card", [27] = "read-double-card",
  [28] = "write-time-table", [29] = "read-time-table", [30] = "write-holidays",
  [31] = "read-holidays", [32] = "write-holiday-time-table",
  [33] = "read-holiday-time-table", [34] = "write-always-open", [35] = "read-always-open",
  [36] = "link-time-table", [38] = "link-holiday-time-table", [40] = "link-always-open",
  [42] = "interlock", [44] = "write-chain", [45] = "read-chain", [46] = "door-password",
  [48] = "write-access-mode", [49] = "read-access-mode", [50] = "write-alarm-mode",
  [51] = "read-alarm-mode", [52] = "door-delays", [54] = "duress-code",
  [56] = "open-door", [57] = "close-door", [58] = "clear-alarm",
}

local baud_codes = { [0] = "4800", [1] = "9600", [2] = "19200", [3] = "38400", [4] = "57600" }

local f = {
  direction = ProtoField.uint8("zarvoac.direction", "Direction", base.DEC, directions),
  line = ProtoField.string("zarvoac.line", "Line"),
  noise = ProtoField.bytes("zarvoac.noise", "Noise before the start mark"),
  start = ProtoField.uint8("zarvoac.start", "Start mark", base.HEX),
  stop = ProtoField.uint8("zarvoac.end", "End mark", base.HEX),
  marker = ProtoField.uint8("zarvoac.marker", "Marker", base.HEX),
  address = ProtoField.uint8("zarvoac.address", "Address", base.DEC),
  command = ProtoField.uint8("zarvoac.command", "Command", base.DEC, commands),
  reply_type = ProtoField.uint8("zarvoac.type", "Reply type", base.HEX),
  status = ProtoField.uint8("zarvoac.status", "Status", base.DEC,
                            { [0] = "carried out" }),
  crc = ProtoField.uint16("zarvoac.crc", "CRC", base.HEX),
  crc_ok = ProtoField.bool("zarvoac.crc_ok", "CRC good"),
  checksum = ProtoField.uint16("zarvoac.checksum", "Checksum", base.HEX),
  params = ProtoField.bytes("zarvoac.params", "Parameters"),
  payload = ProtoField.bytes("zarvoac.payload", "Payload"),
  -- Command fields.
  new_address = ProtoField.uint8("zarvoac.new_address", "New address", base.DEC),
  version = ProtoField.string("zarvoac.version", "Version"),
  clock = ProtoField.string("zarvoac.clock", "Clock"),
  weekday = ProtoField.uint8("zarvoac.weekday", "Day of the week (0 Sunday)", base.DEC),
  baud = ProtoField.uint8("zarvoac.baud", "Speed code", base.DEC, baud_codes),
  confirmation = ProtoField.uint32("zarvoac.confirmation", "Confirmation word", base.HEX),
  device_value = ProtoField.uint16("zarvoac.device_value", "Device value", base.DEC),
  block = ProtoField.uint8("zarvoac.block", "Event block", base.DEC),
  event = ProtoField.none("zarvoac.event", "Event"),
  event_date = ProtoField.string("zarvoac.event.date", "Date"),
  event_time = ProtoField.string("zarvoac.event.time", "Time"),
  value1 = ProtoField.uint8("zarvoac.value1", "Value 1", base.DEC),
  value2 = ProtoField.uint8("zarvoac.value2", "Value 2", base.DEC),
  number1 = ProtoField.uint24("zarvoac.event.number1", "Number 1", base.DEC),
  number2 = ProtoField.uint24("zarvoac.event.number2", "Number 2", base.DEC),
  card = ProtoField.none("zarvoac.card", "Card entry"),
  card_number = ProtoField.uint32("zarvoac.card_number", "Card number", base.DEC),
  card_number2 = ProtoField.uint32("zarvoac.card_number2", "Second card number", base.DEC),
  card_date = ProtoField.string("zarvoac.card.date", "Date"),
  pin = ProtoField.string("zarvoac.pin", "PIN"),
  flags = ProtoField.uint32("zarvoac.flags", "Flags", base.HEX),
  table = ProtoField.uint8("zarvoac.table", "Table", base.DEC),
  day = ProtoField.none("zarvoac.day", "Day"),
  period = ProtoField.string("zarvoac.period", "Period"),
  holiday = ProtoField.string("zarvoac.holiday", "Holiday"),
  door = ProtoField.uint8("zarvoac.door", "Door", base.DEC),
  link = ProtoField.uint8("zarvoac.link", "Table link", base.DEC),
  open_param = ProtoField.uint8("zarvoac.open_param", "Open parameter", base.DEC),
  mask = ProtoField.uint32("zarvoac.interlock", "Interlock mask", base.HEX),
  code = ProtoField.string("zarvoac.code", "Code (hex digits)"),
  setting1 = ProtoField.uint8("zarvoac.setting1", "Setting byte 1", base.HEX),
  setting2 = ProtoField.uint8("zarvoac.setting2", "Setting byte 2", base.HEX),
  delay = ProtoField.uint8("zarvoac.delay", "Timing value", base.DEC),
  chain_group = ProtoField.none("zarvoac.chain", "Chain group"),
  chain_entry = ProtoField.uint8("zarvoac.chain.entry", "Entry", base.DEC),
  chain_value = ProtoField.uint16("zarvoac.chain.value", "Value", base.HEX),
}
local field_list = {}
for _, field in pairs(f) do field_list[#field_list + 1] = field end
zarvo.fields = field_list

local e = {
  bad_byte = ProtoExpert.new("zarvoac.bad_byte", "Byte outside 0x00-0x0F inside a frame",
                             expert.group.MALFORMED, expert.severity.ERROR),
  no_end = ProtoExpert.new("zarvoac.no_end", "Frame without its end mark",
                           expert.group.MALFORMED, expert.severity.ERROR),
  no_start = ProtoExpert.new("zarvoac.no_start", "No start mark",
                             expert.group.MALFORMED, expert.severity.ERROR),
  bad_crc = ProtoExpert.new("zarvoac.bad_crc", "Request checksum wrong",
                            expert.group.CHECKSUM, expert.severity.ERROR),
  noise = ProtoExpert.new("zarvoac.noise_before_start", "Noise before the start mark",
                          expert.group.MALFORMED, expert.severity.WARN),
  odd = ProtoExpert.new("zarvoac.odd_length", "Odd number of encoded bytes",
                        expert.group.MALFORMED, expert.severity.ERROR),
  short = ProtoExpert.new("zarvoac.short", "Frame too short for its fields",
                          expert.group.MALFORMED, expert.severity.ERROR),
  refused = ProtoExpert.new("zarvoac.refused", "The controller refused the command",
                            expert.group.RESPONSE_CODE, expert.severity.NOTE),
}
zarvo.experts = { e.bad_byte, e.no_end, e.no_start, e.bad_crc, e.noise, e.odd, e.short,
                  e.refused }

local function crc16(bytes, first, last)
  local crc = 0
  for i = first, last do
    crc = bxor(crc, lshift(bytes[i], 8))
    for _ = 1, 8 do
      if band(crc, 0x8000) ~= 0 then
        crc = band(bxor(lshift(crc, 1), 0x1021), 0xFFFF)
      else
        crc = band(lshift(crc, 1), 0xFFFF)
      end
    end
  end
  return crc
end

local function bcd(value)
  return string.format("%X%X", rshift(value, 4), band(value, 0x0F))
end

-- Undoes the line encoding of `wire` (a TvbRange) from offset `from`: pairs
-- of nibble bytes up to the end mark `end_mark`. Returns the decoded bytes
-- (a Lua array, 1-based), whether the end mark came, and reports bytes
-- outside 0x00-0x0F on `tree`.
local function undo_nibbles(wire, from, end_mark, tree)
  local decoded, at, ended = {}, from, false
  local bad_reported = false
  while at < wire:len() do
    local hi = wire(at, 1):uint()
    if hi == end_mark then
      ended = true
      break
    end
    if at + 1 >= wire:len() then
      tree:add_tvb_expert_info(e.odd, wire(at, 1))
      break
    end
    local lo = wire(at + 1, 1):uint()
    if lo == end_mark then
      tree:add_tvb_expert_info(e.odd, wire(at, 1))
      at = at + 1
      ended = true
      break
    end
    if (hi > 0x0F or lo > 0x0F) and not bad_reported then
      tree:add_tvb_expert_info(e.bad_byte, wire(at, 2),
                               string.format("Byte outside 0x00-0x0F inside a frame: %02X %02X",
                                             hi, lo))
      bad_reported = true
    end
    decoded[#decoded + 1] = band(hi * 16 + lo, 0xFF)
    at = at + 2
  end
  return decoded, ended, at
end

local function decoded_tvb(bytes, first, last, label)
  local hex = {}
  for i = first, last do hex[#hex + 1] = string.format("%02X", bytes[i]) end
  return ByteArray.new(table.concat(hex)):tvb(label)
end

-- Field decoders, each on a TvbRange of decoded bytes.

local function add_date(tree, field, r)
  if r:len() < 3 then return end
  local text = "20" .. bcd(r(0, 1):uint()) .. "-" .. bcd(r(1, 1):uint()) .. "-" ..
               bcd(r(2, 1):uint())
  tree:add(field, r(0, 3), text)
  return text
end

local function add_event(tree, r)
  if r:len() < 16 then
    tree:add_tvb_expert_info(e.short, r)
    return
  end
  local date = "20" .. bcd(r(0, 1):uint()) .. "-" .. bcd(r(1, 1):uint()) .. "-" ..
               bcd(r(2, 1):uint())
  local time = bcd(r(3, 1):uint()) .. ":" .. bcd(r(4, 1):uint()) .. ":" .. bcd(r(5, 1):uint())
  local t = tree:add(f.event, r(0, 16))
  t:append_text(": " .. date .. " " .. time)
  t:add(f.event_date, r(0, 3), date)
  t:add(f.event_time, r(3, 3), time)
  t:add(f.value1, r(6, 1))
  t:add(f.value2, r(7, 1))
  t:add(f.number1, r(9, 3))
  t:add(f.number2, r(13, 3))
end

local function add_card_entry(tree, r, double)
  if r:len() < 16 then
    tree:add_tvb_expert_info(e.short, r)
    return
  end
  local t = tree:add(f.card, r(0, 16))
  add_date(t, f.card_date, r(0, 3))
  t:add(f.card_number, r(3, 4))
  if double then
    t:add(f.card_number2, r(7, 4))
  else
    t:add(f.pin, r(7, 3), string.format("%02X%02X%02X", r(7, 1):uint(), r(8, 1):uint(),
                                        r(9, 1):uint()))
    t:add(f.value1, r(10, 1))
  end
  t:add(f.value2, r(11, 1))
  t:add_le(f.flags, r(12, 4))
  t:append_text(": card " .. r(3, 4):uint() .. (double and (" + " .. r(7, 4):uint()) or ""))
end

local function add_week_block(tree, r)
  for d = 0, 6 do
    if r:len() < (d + 1) * 32 then
      tree:add_tvb_expert_info(e.short, r)
      return
    end
    local day = tree:add(f.day, r(d * 32, 32))
    day:append_text(" " .. d)
    for p = 0, 7 do
      local q = r(d * 32 + p * 4, 4)
      day:add(f.period, q, string.format("%s %s:%s-%s:%s", p, bcd(q(0, 1):uint()),
                                         bcd(q(1, 1):uint()), bcd(q(2, 1):uint()),
                                         bcd(q(3, 1):uint())))
    end
  end
end

local function add_holidays(tree, r)
  for i = 0, math.floor(r:len() / 2) - 1 do
    local month, mday = r(i * 2, 1):uint(), r(i * 2 + 1, 1):uint()
    if month ~= 0 or mday ~= 0 then
      tree:add(f.holiday, r(i * 2, 2), string.format("%d: %s-%s", i, bcd(month), bcd(mday)))
    end
  end
end

local function add_code(tree, r)
  if r:len() < 4 then return end
  tree:add(f.code, r(0, 4), string.format("%02X%02X%02X%02X", r(0, 1):uint(), r(1, 1):uint(),
                                          r(2, 1):uint(), r(3, 1):uint()))
end

local function add_chain(tree, r)
  for g = 0, 1 do
    if r:len() < (g + 1) * 6 then return end
    local t = tree:add(f.chain_group, r(g * 6, 6))
    t:append_text(" " .. g)
    for i = 0, 3 do t:add(f.chain_entry, r(g * 6 + i, 1)) end
    t:add(f.chain_value, r(g * 6 + 4, 2))
  end
end

local function add_door(tree, r, n)
  if r:len() > n then tree:add(f.door, r(n, 1)) end
end

-- The fields of each command's parameters (request) and payload (reply).
-- `r` is the TvbRange of the parameters or the payload, possibly empty.
local request_fields = {
  [2] = function(t, r) t:add(f.new_address, r(0, 1)) end,
  [4] = function(t, r)
    if r:len() < 7 then return t:add_tvb_expert_info(e.short, r) end
    local text = "20" .. bcd(r(0, 1):uint()) .. "-" .. bcd(r(1, 1):uint()) .. "-" ..
                 bcd(r(2, 1):uint()) .. " " .. bcd(r(3, 1):uint()) .. ":" ..
                 bcd(r(4, 1):uint()) .. ":" .. bcd(r(5, 1):uint())
    t:add(f.clock, r(0, 6), text)
    t:add(f.weekday, r(6, 1))
  end,
  [6] = function(t, r) t:add(f.baud, r(0, 1)) end,
  [7] = function(t, r) t:add_le(f.confirmation, r(0, 4)) end,
  [9] = function(t, r) if r:len() >= 2 then t:add(f.block, r(1, 1)) end end,
  [15] = function(t, r) t:add_le(f.confirmation, r(0, 4)) end,
  [18] = function(t, r) add_card_entry(t, r, false) end,
  [19] = function(t, r) t:add(f.card_number, r(0, 4)) end,
  [20] = function(t, r) add_card_entry(t, r, false) end,
  [22] = function(t, r) t:add(f.card_number, r(0, 4)) end,
  [23] = function(t, r) add_card_entry(t, r, true) end,
  [24] = function(t, r) t:add(f.card_number, r(0, 4)); t:add(f.card_number2, r(4, 4)) end,
  [27] = function(t, r) t:add(f.card_number, r(0, 4)); t:add(f.card_number2, r(4, 4)) end,
  [30] = function(t, r) add_holidays(t, r) end,
  [36] = function(t, r)
    add_door(t, r, 0)
    for i = 1, r:len() - 1 do t:add(f.link, r(i, 1)):prepend_text("Slot " .. (i - 1) .. ": ") end
  end,
  [40] = function(t, r) add_door(t, r, 0); if r:len() > 1 then t:add(f.link, r(1, 1)) end end,
  [42] = function(t, r) add_door(t, r, 0); if r:len() >= 5 then t:add_le(f.mask, r(1, 4)) end end,
  [44] = function(t, r) add_chain(t, r) end,
  [46] = function(t, r) add_door(t, r, 0); if r:len() >= 5 then add_code(t, r(1, 4)) end end,
  [48] = function(t, r)
    add_door(t, r, 0)
    if r:len() >= 3 then t:add(f.setting1, r(1, 1)); t:add(f.setting2, r(2, 1)) end
  end,
  [49] = function(t, r) add_door(t, r, 0) end,
  [51] = function(t, r) add_door(t, r, 0) end,
  [52] = function(t, r) for i = 0, math.min(r:len(), 4) - 1 do t:add(f.delay, r(i, 1)) end end,
  [54] = function(t, r) add_code(t, r) end,
  [56] = function(t, r) add_door(t, r, 0); if r:len() > 1 then t:add(f.open_param, r(1, 1)) end end,
  [57] = function(t, r) add_door(t, r, 0) end,
  [58] = function(t, r) add_door(t, r, 0) end,
}
request_fields[38] = request_fields[36]
request_fields[50] = request_fields[48]
for _, code in ipairs({ 28, 32, 34 }) do
  request_fields[code] = function(t, r)
    t:add(f.table, r(0, 1))
    if r:len() > 1 then add_week_block(t, r(1)) end
  end
end
for _, code in ipairs({ 29, 33, 35 }) do
  request_fields[code] = function(t, r) t:add(f.table, r(0, 1)) end
end

local reply_fields = {
  [3] = function(t, r) t:add(f.version, r, (r:raw():gsub("%z.*", ""))) end,
  [8] = function(t, r)
    for i = 0, math.floor(r:len() / 2) - 1 do t:add(f.device_value, r(i * 2, 2)) end
  end,
  [9] = function(t, r)
    for i = 0, math.floor(r:len() / 16) - 1 do
      local rec = r(i * 16, 16)
      if rec(0, 4):uint() ~= 0 then add_event(t, rec) end
    end
  end,
  [11] = function(t, r) add_event(t, r) end,
  [12] = function(t, r) add_event(t, r) end,
  [22] = function(t, r) add_card_entry(t, r, false) end,
  [27] = function(t, r) add_card_entry(t, r, true) end,
  [31] = function(t, r) add_holidays(t, r) end,
  [45] = function(t, r) add_chain(t, r) end,
  [49] = function(t, r) t:add(f.setting1, r(0, 1)); if r:len() > 1 then t:add(f.setting2, r(1, 1)) end end,
}
reply_fields[51] = reply_fields[49]
for _, code in ipairs({ 29, 33, 35 }) do
  reply_fields[code] = function(t, r) add_week_block(t, r) end
end

local function command_label(code)
  return (commands[code] or "unknown") .. " (" .. code .. ")"
end

-- A command's fields; parameters or a payload too short for them are
-- flagged rather than failing the whole frame.
local function add_command_fields(decoders, code, tree, r)
  local decode = decoders[code]
  if decode == nil or r:len() == 0 then return end
  if not pcall(decode, tree, r) then tree:add_tvb_expert_info(e.short, r) end
end

-- Finds the start mark in `wire`; flags the bytes before it as noise.
local function find_start(wire, mark, tree)
  for i = 0, wire:len() - 1 do
    if wire(i, 1):uint() == mark then
      if i > 0 then
        tree:add(f.noise, wire(0, i))
        tree:add_tvb_expert_info(e.noise, wire(0, i),
                                 "Noise before the start mark: " .. i .. " bytes")
      end
      return i
    end
  end
  tree:add_tvb_expert_info(e.no_start, wire)
  return nil
end

local function dissect_request(wire, pinfo, tree)
  local start = find_start(wire, REQUEST_START, tree)
  if start == nil then
    pinfo.cols.info:set("request without a start mark")
    return
  end
  tree:add(f.start, wire(start, 1))
  local bytes, ended, stop = undo_nibbles(wire, start + 1, REQUEST_END, tree)
  if ended then tree:add(f.stop, wire(stop, 1)) else tree:add_tvb_expert_info(e.no_end, wire) end
  if #bytes < 5 then
    tree:add_tvb_expert_info(e.short, wire)
    pinfo.cols.info:set("request, too short")
    return
  end
  local body = decoded_tvb(bytes, 1, #bytes, "Decoded request")
  local n = body:len()
  tree:add(f.marker, body(0, 1))
  tree:add(f.address, body(1, 1))
  tree:add(f.command, body(2, 1))
  local params = n > 5 and body(3, n - 5) or nil
  local crc_item = tree:add(f.crc, body(n - 2, 2))
  local wanted = crc16(bytes, 1, #bytes - 2)
  local good = body(n - 2, 2):uint() == wanted
  tree:add(f.crc_ok, body(n - 2, 2), good):set_generated()
  if not good then
    crc_item:add_proto_expert_info(e.bad_crc, string.format("Request checksum wrong: %04X, "
                                                            .. "the body makes %04X",
                                                            body(n - 2, 2):uint(), wanted))
  end
  local code = body(2, 1):uint()
  if params ~= nil then
    tree:add(f.params, params)
    add_command_fields(request_fields, code, tree, params)
  end
  pinfo.cols.info:set(string.format("request  to %d: %s%s", body(1, 1):uint(),
                                    command_label(code), good and "" or " [bad CRC]"))
end

local function dissect_reply(wire, pinfo, tree)
  local start = find_start(wire, REPLY_START, tree)
  if start == nil then
    pinfo.cols.info:set(string.format("reply without a start mark (%d bytes)", wire:len()))
    return
  end
  tree:add(f.start, wire(start, 1))
  local bytes, ended, stop = undo_nibbles(wire, start + 1, REPLY_END, tree)
  if ended then tree:add(f.stop, wire(stop, 1)) else tree:add_tvb_expert_info(e.no_end, wire) end
  if #bytes < 3 then
    tree:add_tvb_expert_info(e.short, wire)
    pinfo.cols.info:set("reply, too short")
    return
  end
  local body = decoded_tvb(bytes, 1, #bytes, "Decoded reply")
  local n = body:len()
  tree:add(f.reply_type, body(0, 1))
  tree:add(f.address, body(1, 1))
  tree:add(f.command, body(2, 1))
  local code = body(2, 1):uint()
  local status = n > 3 and body(3, 1):uint() or nil
  if status ~= nil then
    local item = tree:add(f.status, body(3, 1))
    if status ~= 0 then item:add_proto_expert_info(e.refused) end
  end
  -- Without its end mark the reply may stop anywhere: all after the status
  -- counts as payload then.
  local trailer = ended and 2 or 0
  local payload_length = n - 4 - trailer
  if payload_length > 0 then
    local payload = body(4, payload_length)
    tree:add(f.payload, payload)
    if status == 0 then add_command_fields(reply_fields, code, tree, payload) end
  end
  if ended and n >= 6 then tree:add(f.checksum, body(n - 2, 2)) end
  pinfo.cols.info:set(string.format("reply from %d: %s, status %s%s", body(1, 1):uint(),
                                    command_label(code), status or "missing",
                                    ended and "" or " [no end mark]"))
end

function zarvo.dissector(tvb, pinfo, root)
  if tvb:len() < 2 then return 0 end
  pinfo.cols.protocol:set("ZarvoAC")
  local direction = tvb(0, 1):uint()
  local name_length = tvb(1, 1):uint()
  if tvb:len() < 2 + name_length then return 0 end
  local tree = root:add(zarvo, tvb(), "ZarvoAC " .. (directions[direction] or "frame"))
  tree:add(f.direction, tvb(0, 1))
  if name_length > 0 then
    local name = tvb(2, name_length)
    tree:add(f.line, name)
    pinfo.cols.src:set(direction == 0 and "host" or name:string())
    pinfo.cols.dst:set(direction == 0 and name:string() or "host")
  end
  local wire_at = 2 + name_length
  if tvb:len() == wire_at then return tvb:len() end
  local wire = tvb(wire_at):tvb()
  if direction == 0 then
    dissect_request(wire, pinfo, tree)
  else
    dissect_reply(wire, pinfo, tree)
  end
  return tvb:len()
end

local encaps = wtap_encaps or wtap
DissectorTable.get("wtap_encap"):add(encaps.USER0, zarvo)
