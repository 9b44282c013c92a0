-- The fixed part of the Kestrum dissector; kestrum-dissector writes PORTS and
-- ITEMS ahead of it.

local kestrum = Proto("kestrum", "Kestrum remote control")

local KIND_TEXT = { [0x10] = "short", [0x99] = "long", [0x77] = "EO" }
local TYPE_SIZE = { Byte = 1, U16 = 2, S16 = 2, U32 = 4, S32 = 4, U64 = 8, S64 = 8, U128 = 16, Fixed = 4, Float = 4,
                    Double = 8 }
local STATUS_ERRORS = {
    [0] = "none", "Checksum failed", "Unknown item", "Data item not supported", "Command not valid in this state",
    "Invalid data access", "Data type error", "Unknown error", "Device not initialised", "Device busy",
    "Unknown error", "Unknown error", "Unknown error", "Unknown error", "Unknown error", "Unknown error" }
local TRIGGERS = { [0] = "answer", [1] = "periodic", [2] = "unknown (refused)", [3] = "unknown (refused)" }
local EO_IDS = { [7] = "track report", [8] = "tag report", [9] = "track report" }
local EO_RECORD_SIZE = { [0] = 28, [8] = 28, [30] = 28, [31] = 28, [32] = 28, [1] = 32, [9] = 32, [33] = 50 }
local MAX_FRAME = 1022     -- the most the console's framer takes
local MAX_TRACKS = 32      -- the most a console's report holds

local f = {
    kind = ProtoField.string("kestrum.kind", "Frame kind"),
    direction = ProtoField.string("kestrum.direction", "Direction"),
    sync = ProtoField.uint8("kestrum.sync", "Sync", base.HEX),
    subsystem = ProtoField.uint8("kestrum.subsystem", "Subsystem"),
    index = ProtoField.uint8("kestrum.index", "Index"),
    status = ProtoField.uint8("kestrum.status", "Status byte", base.HEX),
    status_flags = ProtoField.uint8("kestrum.status.flags", "Flags", base.HEX, nil, 0x03),
    status_error = ProtoField.uint8("kestrum.status.error", "Error", base.DEC, STATUS_ERRORS, 0x3c),
    status_trigger = ProtoField.uint8("kestrum.status.trigger", "Trigger", base.DEC, TRIGGERS, 0xc0),
    length = ProtoField.uint16("kestrum.length", "Length field"),
    item = ProtoField.uint8("kestrum.item", "Item"),
    query = ProtoField.bool("kestrum.item.query", "Query"),
    label = ProtoField.string("kestrum.item.label", "Label"),
    type = ProtoField.string("kestrum.item.type", "Type"),
    value = ProtoField.string("kestrum.item.value", "Value"),
    unknown = ProtoField.uint8("kestrum.item.unknown", "Unknown item"),
    undecoded = ProtoField.bytes("kestrum.undecoded", "Not decoded"),
    periodic_rate = ProtoField.uint8("kestrum.periodic.rate", "Periodic rate"),
    periodic_mask = ProtoField.bytes("kestrum.periodic.mask", "Periodic item mask"),
    eo_output = ProtoField.uint8("kestrum.eo_output", "EO track data output"),
    hb_missed = ProtoField.uint8("kestrum.heartbeat.missed", "Missed heartbeats"),
    hb_state = ProtoField.uint8("kestrum.heartbeat.state", "Interface state", base.DEC,
                                { [0] = "active", [1] = "inactive" }),
    checksum = ProtoField.uint8("kestrum.checksum", "Checksum", base.HEX),
    checksum_status = ProtoField.string("kestrum.checksum.status", "Checksum status"),
    eo_id = ProtoField.uint8("kestrum.eo.id", "Message identifier", base.DEC, EO_IDS),
    eo_format = ProtoField.uint8("kestrum.eo.format", "Format"),
    eo_timestamp = ProtoField.uint64("kestrum.eo.timestamp", "Timestamp"),
    eo_count = ProtoField.uint8("kestrum.eo.count", "Number of tracks"),
    track_id = ProtoField.uint32("kestrum.eo.track.id", "ID"),
    track_x = ProtoField.int32("kestrum.eo.track.x", "X Posn"),
    track_y = ProtoField.int32("kestrum.eo.track.y", "Y Posn"),
    track_w = ProtoField.int32("kestrum.eo.track.xsize", "X Size"),
    track_h = ProtoField.int32("kestrum.eo.track.ysize", "Y Size"),
    track_range = ProtoField.int32("kestrum.eo.track.range", "Range"),
    track_extra1 = ProtoField.double("kestrum.eo.track.extra1", "Extra value 1"),
    track_extra2 = ProtoField.double("kestrum.eo.track.extra2", "Extra value 2"),
    track_status = ProtoField.uint8("kestrum.eo.track.status", "Status"),
    track_confidence = ProtoField.uint8("kestrum.eo.track.confidence", "Confidence"),
    track_lifetime = ProtoField.double("kestrum.eo.track.lifetime", "Lifetime"),
    track_priority = ProtoField.uint16("kestrum.eo.track.priority", "Priority"),
}
local e = {
    bad_checksum = ProtoExpert.new("kestrum.checksum.bad", "Bad checksum: the console drops this frame",
                                   expert.group.CHECKSUM, expert.severity.ERROR),
    unknown_item = ProtoExpert.new("kestrum.item.unknown.expert", "Unknown item: decoding stops here",
                                   expert.group.UNDECODED, expert.severity.WARN),
    cut_value = ProtoExpert.new("kestrum.item.cut", "Value reaches past the payload: decoding stops here",
                                expert.group.MALFORMED, expert.severity.WARN),
    bad_status = ProtoExpert.new("kestrum.status.bad", "Bad status: the console does not decode this frame",
                                 expert.group.RESPONSE_CODE, expert.severity.WARN),
    cut_frame = ProtoExpert.new("kestrum.cut", "Frame cut short", expert.group.MALFORMED, expert.severity.ERROR),
    too_long = ProtoExpert.new("kestrum.too_long", "Longer than the 1022 bytes the console's framer takes",
                               expert.group.MALFORMED, expert.severity.WARN),
    eo_rejected = ProtoExpert.new("kestrum.eo.rejected", "The console rejects this report",
                                  expert.group.PROTOCOL, expert.severity.WARN),
}

-- One typed field per defined address, named by its label, for display filters.
local TYPED = {
    Byte = ProtoField.uint8, U16 = ProtoField.uint16, S16 = ProtoField.int16, U32 = ProtoField.uint32,
    S32 = ProtoField.int32, U64 = ProtoField.uint64, S64 = ProtoField.int64, U128 = ProtoField.bytes,
    Fixed = ProtoField.double, String = ProtoField.string, Float = ProtoField.float, Double = ProtoField.double,
}
local fields = {}
for _, field in pairs(f) do fields[#fields + 1] = field end
for key, item in pairs(ITEMS) do
    item.field = TYPED[item.type](string.format("kestrum.s%d.i%d.item%d", bit32.rshift(key, 16),
                                                bit32.band(bit32.rshift(key, 8), 0xff), bit32.band(key, 0xff)),
                                  item.label)
    fields[#fields + 1] = item.field
end
kestrum.fields = fields
local experts = {}
for _, expert_field in pairs(e) do experts[#experts + 1] = expert_field end
kestrum.experts = experts

-- Single precision, as the console computes Fixed values.
local function float32(x)
    return Struct.unpack("<f", Struct.pack("<f", x))
end

local function fixed_value(raw)
    return float32(raw) / 4096
end

local function fixed_int(raw)
    local v = fixed_value(raw)
    return v < 0 and math.ceil(v) or math.floor(v)
end

-- The value of type t at pos, reading nothing at or after stop: bytes taken,
-- the text the console shows, and a function adding the typed field. Nil when
-- the value does not fit.
local function decode_value(t, tvb, pos, stop)
    if t == "String" then
        if pos + 1 > stop then return nil end
        local n = tvb(pos, 1):uint()
        if pos + 1 + n > stop then return nil end
        local text = n > 0 and tvb(pos + 1, n):raw() or ""
        text = text:match("^[^%z]*")  -- shown up to the sender's NUL, as the console shows it
        return 1 + n, text, function(tree, field) return tree:add(field, tvb(pos, 1 + n), text) end
    end
    local size = TYPE_SIZE[t]
    if not size or pos + size > stop then return nil end
    local r = tvb(pos, size)
    local add = function(tree, field) return tree:add(field, r) end
    local text
    if t == "Byte" or t == "U16" or t == "U32" then
        text = string.format("%d", r:uint())
    elseif t == "S16" or t == "S32" then
        text = string.format("%d", r:int())
    elseif t == "U64" then
        text = tostring(r:uint64())
    elseif t == "S64" then
        text = tostring(r:int64())
    elseif t == "U128" then
        text = "0x" .. r:bytes():tohex():lower()
    elseif t == "Fixed" then
        local v = fixed_value(r:int())
        text = string.format("%f", v)
        add = function(tree, field) return tree:add(field, r, v) end
    elseif t == "Float" then
        text = string.format("%f", r:le_float())
        add = function(tree, field) return tree:add_le(field, r) end
    else -- Double
        text = string.format("%f", r:float())
    end
    return size, text, add
end

-- The protocol's own items, sent by the console; the page definitions win.
local RESERVED = {
    [0x70] = { label = "Periodic rate", size = 1, field = f.periodic_rate },
    [0x71] = { label = "Periodic item mask", size = 16, field = f.periodic_mask },
    [0x28] = { label = "EO track data output", size = 1, field = f.eo_output },
}

local function add_undecoded(tree, tvb, pos, stop)
    if stop > pos then tree:add(f.undecoded, tvb(pos, stop - pos)) end
end

-- Items of a payload, as the console decodes a status frame (bCommand false)
-- or the remote system reads a command (queries carry no value). Returns
-- the summary for the Info column.
local function dissect_items(tvb, tree, pos, stop, sub, idx, bCommand)
    local summary = {}
    -- A status payload of fewer than two bytes holds nothing; its last byte
    -- alone is no item.
    if not bCommand and stop - pos < 2 then
        add_undecoded(tree, tvb, pos, stop)
        return summary
    end
    while pos < stop and (bCommand or pos + 1 < stop) do
        local byte = tvb(pos, 1):uint()
        local number = byte
        local bQuery = bCommand and byte >= 0x80
        if bQuery then number = byte - 0x80 end
        local item = ITEMS[sub * 65536 + idx * 256 + number]
        if bQuery then
            local label = item and item.label or RESERVED[number] and RESERVED[number].label or "unknown item"
            local node = tree:add(tvb(pos, 1), string.format("Query: %s (item %d)", label, number))
            node:add(f.item, tvb(pos, 1), number)
            node:add(f.query, tvb(pos, 1), true)
            node:add(f.label, tvb(pos, 1), label)
            summary[#summary + 1] = "?" .. label
            pos = pos + 1
        elseif item then
            local size, text, add = decode_value(item.type, tvb, pos + 1, stop)
            if not size then
                local node = tree:add(tvb(pos, stop - pos), string.format("%s (item %d, %s): value cut short",
                                                                          item.label, number, item.type))
                node:add_proto_expert_info(e.cut_value)
                return summary
            end
            local node = tree:add(tvb(pos, 1 + size), string.format("%s = %s", item.label, text))
            node:add(f.item, tvb(pos, 1), number)
            node:add(f.label, tvb(pos, 1), item.label)
            node:add(f.type, tvb(pos, 1), item.type)
            node:add(f.value, tvb(pos + 1, size), text)
            add(node, item.field)
            summary[#summary + 1] = item.label .. "=" .. text
            pos = pos + 1 + size
        elseif bCommand and RESERVED[number] then
            local reserved = RESERVED[number]
            if pos + 1 + reserved.size > stop then
                tree:add(tvb(pos, stop - pos), reserved.label .. ": value cut short"):add_proto_expert_info(e.cut_value)
                return summary
            end
            local node = tree:add(reserved.field, tvb(pos + 1, reserved.size))
            node:add(f.item, tvb(pos, 1), number)
            summary[#summary + 1] = reserved.label
            pos = pos + 1 + reserved.size
        else
            local node = tree:add(f.unknown, tvb(pos, 1), number)
            node:set_text(string.format("Unknown item %d (subsystem %d, index %d)", number, sub, idx))
            node:add(f.label, tvb(pos, 1), "unknown item")
            node:add_proto_expert_info(e.unknown_item)
            summary[#summary + 1] = "unknown item " .. number
            add_undecoded(tree, tvb, pos + 1, stop)
            return summary
        end
    end
    add_undecoded(tree, tvb, pos, stop)
    return summary
end

local function dissect_status_byte(tvb, tree, pos)
    local status = tvb(pos, 1):uint()
    local node = tree:add(f.status, tvb(pos, 1))
    node:add(f.status_flags, tvb(pos, 1))
    node:add(f.status_error, tvb(pos, 1))
    node:add(f.status_trigger, tvb(pos, 1))
    return bit32.band(bit32.rshift(status, 2), 0x0f) == 0 and bit32.rshift(status, 6) < 2
end

local function dissect_eo(tvb, tree, pos, stop)
    local id = tvb(pos + 1, 1):uint()
    tree:add(f.eo_id, tvb(pos + 1, 1))
    if not EO_IDS[id] then
        tree:add_proto_expert_info(e.eo_rejected, "Unexpected message ID " .. id .. ": the console ignores the frame")
        add_undecoded(tree, tvb, pos + 4, stop)
        return "unexpected message ID " .. id
    end
    if stop - pos < 14 then
        tree:add_proto_expert_info(e.eo_rejected, "Shorter than a report's 14 header bytes")
        add_undecoded(tree, tvb, pos + 4, stop)
        return EO_IDS[id] .. ", too short"
    end
    local format = tvb(pos + 4, 1):uint()
    local count = tvb(pos + 13, 1):uint()
    tree:add(f.eo_format, tvb(pos + 4, 1))
    tree:add(f.eo_timestamp, tvb(pos + 5, 8))
    tree:add(f.eo_count, tvb(pos + 13, 1))
    local size = EO_RECORD_SIZE[format]
    local summary = string.format("%s, format %d, %d tracks", EO_IDS[id], format, count)
    if count == 0 then
        add_undecoded(tree, tvb, pos + 14, stop)
        return summary
    end
    if not size then
        tree:add_proto_expert_info(e.eo_rejected, "Unknown track format " .. format .. ": the console empties its report")
        add_undecoded(tree, tvb, pos + 14, stop)
        return summary .. ", unknown format"
    end
    local n = math.min(count, MAX_TRACKS, math.floor((stop - pos - 14) / size))
    local plain = format >= 30 and format <= 32
    local at = pos + 14
    for k = 1, n do
        local r = tvb(at, size)
        local node = tree:add(r, string.format("Track %d: ID %d", k, r(0, 4):uint()))
        node:add(f.track_id, r(0, 4))
        local position = { f.track_x, f.track_y, f.track_w, f.track_h }
        for i = 1, 4 do
            local v = r(4 * i, 4)
            node:add(position[i], v, plain and v:int() or fixed_int(v:int()))
        end
        local tail = 20
        if format == 1 or format == 9 then
            node:add(f.track_range, r(20, 4), fixed_int(r(20, 4):int()))
            tail = 24
        elseif format == 33 then
            node:add(f.track_extra1, r(20, 4), fixed_value(r(20, 4):int()))
            node:add(f.track_extra2, r(24, 4), fixed_value(r(24, 4):int()))
            tail = 28
        end
        node:add(f.track_status, r(tail, 1))
        node:add(f.track_confidence, r(tail + 1, 1))
        node:add(f.track_lifetime, r(tail + 2, 4), fixed_value(r(tail + 2, 4):int()))
        node:add(f.track_priority, r(tail + 6, 2))
        at = at + size
    end
    if n < count then
        tree:add(tvb(pos + 13, 1), string.format("%d of %d tracks decoded (the report holds at most %d, and %d whole records)",
                                                   n, count, MAX_TRACKS, math.floor((stop - pos - 14) / size)))
    end
    add_undecoded(tree, tvb, at, stop)
    return summary
end

local function sum_bytes(tvb, pos, count)
    local sum = 0
    for i = pos, pos + count - 1 do sum = sum + tvb(i, 1):uint() end
    return sum % 256
end

-- Where the datagram goes: "to console", "from console", or nil on a port
-- the settings do not name.
local function direction_of(pinfo)
    local dst, src = pinfo.dst_port, pinfo.src_port
    if dst == PORTS.page_rx or dst == PORTS.eo_rx then return "to console" end
    if dst == PORTS.page_tx or dst == PORTS.eo_tx then return "from console" end
    if src == PORTS.page_tx or src == PORTS.eo_tx then return "to console" end
    if src == PORTS.page_rx or src == PORTS.eo_rx then return "from console" end
    return nil
end

-- The frame at pos: its length by its length field, its header size and
-- whether the length field is a status frame's, or nil when the bytes left
-- cannot even hold the length field.
local function frame_layout(tvb, pos, left, direction)
    local sync = tvb(pos, 1):uint()
    if sync == 0x10 then
        if left < 4 then return nil end
        return tvb(pos + 3, 1):uint() + 5, 4, 3, 1
    elseif sync == 0x77 then
        if left < 4 then return nil end
        return tvb(pos + 2, 2):uint(), 4, 2, 2
    elseif sync == 0x99 then
        if left < 5 then return nil end
        local command = tvb(pos + 4, 1):uint() + 6
        if direction == "from console" then return command, 5, 4, 1 end
        if left < 6 then return command, 5, 4, 1 end
        local status = tvb(pos + 4, 2):uint()
        if direction == "to console" then return status, 6, 4, 2 end
        -- Direction unknown: the form whose length and checksum hold.
        for _, form in ipairs({ { status, 6, 4, 2 }, { command, 5, 4, 1 } }) do
            local length = form[1]
            if length >= form[2] + 1 and length <= left and
               sum_bytes(tvb, pos, length - 1) == tvb(pos + length - 1, 1):uint() then
                return form[1], form[2], form[3], form[4]
            end
        end
        return status, 6, 4, 2
    end
    return nil
end

-- One frame at pos; returns the bytes it took.
local function dissect_frame(tvb, pinfo, tree, pos, direction)
    local left = tvb:len() - pos
    local sync = tvb(pos, 1):uint()
    local length, header, length_at, length_size = frame_layout(tvb, pos, left, direction)
    if not length then
        local node = tree:add(kestrum, tvb(pos, left), "Kestrum remote control, not a frame")
        node:add(f.sync, tvb(pos, 1))
        add_undecoded(node, tvb, pos, pos + left)
        node:add_proto_expert_info(e.cut_frame, "Too short for a frame header")
        return left
    end
    local bCut = length > left
    local size = bCut and left or length
    if size < header + 1 then size = math.min(left, header + 1) end
    local r = tvb(pos, size)
    local node = tree:add(kestrum, r)
    local stop = pos + size - 1  -- the checksum's position
    if bCut then stop = pos + size end

    local sub, idx = 0, 0
    local kind = KIND_TEXT[sync]
    if sync ~= 0x77 then
        sub = tvb(pos + 1, 1):uint()
        if sync == 0x99 then idx = tvb(pos + 2, 1):uint() end
        if sync == 0x99 and sub == 0 and idx == 1 then kind = "heartbeat" end
    end
    node:add(f.kind, r(0, 1), kind)
    node:add(f.direction, r(0, 0), direction or "unknown")
    node:add(f.sync, r(0, 1))
    local info
    -- Off the configured ports the layout says which way a long frame went;
    -- a short frame with a status byte set is the remote system's.
    local bStatusFrame = direction == "to console"
    if direction == nil and sync == 0x99 then bStatusFrame = header == 6 end
    if direction == nil and sync == 0x10 then bStatusFrame = tvb(pos + 2, 1):uint() ~= 0 end
    if sync == 0x77 then
        node:add(f.length, tvb(pos + length_at, length_size))
    else
        node:add(f.subsystem, tvb(pos + 1, 1))
        if sync == 0x99 then node:add(f.index, tvb(pos + 2, 1)) end
        if sync == 0x10 or header == 6 then
            local good = dissect_status_byte(tvb, node, pos + (sync == 0x99 and 3 or 2))
            if not good and bStatusFrame and kind ~= "heartbeat" then
                node:add_proto_expert_info(e.bad_status)
                info = "bad status"
            end
        end
        node:add(f.length, tvb(pos + length_at, length_size))
    end
    if length > MAX_FRAME then node:add_proto_expert_info(e.too_long) end

    if length < header + 1 then
        node:add_proto_expert_info(e.cut_frame, "Length field " .. length .. " leaves no room for the header and checksum")
    end
    local summary
    if sync == 0x77 then
        summary = dissect_eo(tvb, node, pos, stop)
    elseif kind == "heartbeat" then
        if stop - (pos + header) >= 2 then
            node:add(f.hb_missed, tvb(pos + header, 1))
            node:add(f.hb_state, tvb(pos + header + 1, 1))
            summary = string.format("missed %d, %s", tvb(pos + header, 1):uint(),
                                    tvb(pos + header + 1, 1):uint() == 0 and "active" or "inactive")
            add_undecoded(node, tvb, pos + header + 2, stop)
        else
            add_undecoded(node, tvb, pos + header, stop)
            summary = "too short"
        end
    elseif info == "bad status" then
        add_undecoded(node, tvb, pos + header, stop)
    else
        local items = dissect_items(tvb, node, pos + header, stop, sub, idx, not bStatusFrame)
        summary = table.concat(items, ", ")
    end

    local checksum = "cut short"
    if bCut then
        node:add_proto_expert_info(e.cut_frame, string.format("Frame cut short: %d of %d bytes", left, length))
    else
        local expected = sum_bytes(tvb, pos, size - 1)
        local actual = tvb(pos + size - 1, 1):uint()
        local cs = node:add(f.checksum, tvb(pos + size - 1, 1))
        checksum = expected == actual and "Good" or "Bad"
        cs:add(f.checksum_status, tvb(pos + size - 1, 1), checksum)
        if checksum == "Bad" then
            cs:append_text(string.format(" [incorrect, should be 0x%02x]", expected))
            cs:add_proto_expert_info(e.bad_checksum)
        else
            cs:append_text(" [correct]")
        end
    end

    local where = sync == 0x77 and "" or (sync == 0x99 and string.format(" %d/%d", sub, idx) or string.format(" %d", sub))
    local role = ""
    if sync ~= 0x77 then role = bStatusFrame and " status" or " command" end
    local text = kind .. role .. where
    if info then text = text .. " (" .. info .. ")" end
    if checksum ~= "Good" then text = text .. " [checksum " .. checksum:lower() .. "]" end
    if summary and summary ~= "" then text = text .. ": " .. summary end
    node:append_text(", " .. text)
    return size, text
end

function kestrum.dissector(tvb, pinfo, tree)
    local total = tvb:len()
    local direction = direction_of(pinfo)
    pinfo.cols.protocol = "Kestrum"
    if total == 0 then
        tree:add(kestrum, tvb(), "Kestrum remote control, empty datagram (the console's EO hello)")
        pinfo.cols.info = "EO hello"
        return 0
    end
    local pos = 0
    local texts = {}
    while pos < total do
        if not KIND_TEXT[tvb(pos, 1):uint()] then
            local node = tree:add(kestrum, tvb(pos, total - pos), "Kestrum remote control, no frame")
            add_undecoded(node, tvb, pos, total)
            texts[#texts + 1] = "no frame"
            break
        end
        local size, text = dissect_frame(tvb, pinfo, tree, pos, direction)
        texts[#texts + 1] = text or "not a frame"
        pos = pos + size
    end
    pinfo.cols.info = (direction and (direction == "to console" and "-> console " or "console -> ") or "") ..
                      table.concat(texts, " | ")
    return total
end

-- Other ports: a datagram that holds one whole frame with a good checksum.
local function heuristic(tvb, pinfo, tree)
    local total = tvb:len()
    if total < 5 or not KIND_TEXT[tvb(0, 1):uint()] then return false end
    local length = frame_layout(tvb, 0, total, nil)
    if not length or length ~= total or length > MAX_FRAME then return false end
    if sum_bytes(tvb, 0, total - 1) ~= tvb(total - 1, 1):uint() then return false end
    kestrum.dissector(tvb, pinfo, tree)
    return true
end

local udp_port = DissectorTable.get("udp.port")
for _, port in pairs(PORTS) do
    if port > 0 then udp_port:add(port, kestrum) end
end
kestrum:register_heuristic("udp", heuristic)
