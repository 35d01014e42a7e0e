-- Builds an Ardour session with one track and the plug-in on it, as a user
-- would, for ardour-test; run by ardour7-lua (the "None (Dummy)" backend),
-- once per step, each step in a process of its own (closing a session that
-- was reopened in the process that created it hangs here):
--   ZV_STEP=create       the session, its track and the imported input
--   ZV_STEP=plug-in      the plug-in added and set; the session saved
--   ZV_STEP=show         the session reopened: what the host shows
-- Everything else comes from the environment too:
--   ZV_DIR, ZV_NAME      session folder and name (the folder must not exist)
--   ZV_URI               the plug-in (LV2: its URI; VST3: its unique id)
--   ZV_TYPE              "LV2" (default) or "VST3"
--   ZV_INPUTS            one mono WAV per track channel, blank-separated, at
--                        48 kHz, ZV_FRAMES frames each
--   ZV_SET               "PORT=VALUE ..." (port indices) to set, in order
--   ZV_PRESET            a preset's label to choose (after ZV_SET), or empty
--   ZV_STOP_ENGINE       "1": stop the engine before setting anything, so
--                        that the plug-in never runs with the new values
--                        before the session is saved
--   ZV_BYPASS            "1": switch the plug-in off with the host's bypass
--   ZV_WAIT              milliseconds the engine runs after the values are
--                        set, before the save (default 0)
--   ZV_LABELS            preset labels, "|"-separated, to look up by label
--                        (Ardour lists a VST3 plug-in's programs only
--                        there); empty: the presets the plug-in's info lists
--   ZV_SWITCH            the index of the host's bypass control (default
--                        23: the LV2 plug-ins' enabled port)
-- Prints "preset: LABEL" for every preset the host lists (plug-in), and
-- "value: INDEX VALUE" for each control the host shows, "active: 0|1" and
-- "switch: VALUE" (the bypass control) (show).
--
-- Ardour's Lua tool has no audio import, so the script writes what an
-- import leaves: the files in the session's interchange folder, one
-- <Source> per channel, a region on the track's playlist from the start
-- (no fades, no envelope), and the session range over the region. Times are
-- superclock values (the session's tempo map: 282240000 per second).

io.stdout:setvbuf("line")
local env = function(name) return os.getenv(name) or "" end
local dir, name, uri = env("ZV_DIR"), env("ZV_NAME"), env("ZV_URI")
local frames = tonumber(env("ZV_FRAMES"))
local inputs = {}
for f in env("ZV_INPUTS"):gmatch("%S+") do inputs[#inputs + 1] = f end
local rate = 48000
local kind = env("ZV_TYPE") ~= "" and env("ZV_TYPE") or "LV2"

local function fail(text)
  print("ardour-session: " .. text)
  os.exit(1)
end

local function save()
  Session:save_state("", false, false, false, false, false)
end

assert(AudioEngine:set_backend("None (Dummy)", "", ""))
local step = env("ZV_STEP")

if step == "create" then
if not create_session(dir, name, rate) then fail("cannot create the session") end
local tracks = Session:new_audio_track(#inputs, 2, nil, 1, "T", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true)
if tracks:size() ~= 1 then fail("cannot add the track") end
-- The track's outputs to the master bus, now: Ardour connects new tracks
-- from a thread of its own, which has been seen to come after the save.
local out, master = tracks:front():output(), Session:master_out():input()
for c = 0, 1 do
  local to = master:audio(c):name()
  if not out:audio(c):connected_to(to) and out:audio(c):connect(to) ~= 0 then fail("cannot connect to " .. to) end
end
save()
close_session()

-- What an import would leave.
local sound = dir .. "/interchange/" .. name .. "/audiofiles/"
local file = dir .. "/" .. name .. ".ardour"
local f = assert(io.open(file))
local xml = f:read("a")
f:close()
local superclocks = xml:match('superclocks%-per%-second="(%d+)"')
if not superclocks then fail("no tempo map in the session") end
local length = "a" .. math.tointeger(frames * tonumber(superclocks) // rate)
local sources, sourceRefs = {}, {}
for c, input in ipairs(inputs) do
  local base = input:match("[^/]+$")
  if not os.execute('cp "' .. input .. '" "' .. sound .. base .. '"') then fail("cannot copy " .. input) end
  local id = 90000 + c
  sources[#sources + 1] = string.format(
    '    <Source name="%s" type="audio" flags="" id="%d" captured-for="" channel="0" origin="" gain="1"/>', base, id)
  sourceRefs[#sourceRefs + 1] = string.format('source-%d="%d" master-source-%d="%d"', c - 1, id, c - 1, id)
end
local region = string.format(
  '<Region name="input" start="a0" length="%s@a0" position="a0" sync-position="a0" layering-index="0" id="90100" ' ..
  'type="audio" %s channels="%d" envelope-active="0" fade-in-active="0" fade-out-active="0" scale-amplitude="1"/>',
  length, table.concat(sourceRefs, " "), #inputs)
local count
xml, count = xml:gsub("<Sources/>", "<Sources>\n" .. table.concat(sources, "\n") .. "\n  </Sources>", 1)
if count ~= 1 then fail("no empty <Sources/> in the session") end
xml, count = xml:gsub('(<Playlist [^>]*orig%-track%-id="[^"]*"[^>]*)/>', "%1>\n      " .. region .. "\n    </Playlist>", 1)
if count ~= 1 then fail("no empty playlist for the track") end
xml, count = xml:gsub("<Locations/>", '<Locations>\n    <Location id="90200" name="session" start="a0" end="' ..
                      length .. '" flags="IsSessionRange" locked="0" timestamp="0" cue="0"/>\n  </Locations>', 1)
if count ~= 1 then fail("no empty <Locations/> in the session") end
f = assert(io.open(file, "w"))
f:write(xml)
f:close()

-- The plug-in, as a user adds and sets it.
elseif step == "plug-in" then
if not load_session(dir, name) then fail("cannot reopen the session after the import") end
local track = Session:route_by_name("T")
local plugin = ARDOUR.LuaAPI.new_plugin(Session, uri, ARDOUR.PluginType[kind], "")
if plugin:isnil() then fail("no plug-in " .. uri) end
if track:add_processor_by_index(plugin, 0, nil, true) ~= 0 then fail("cannot add the plug-in") end
local insert = plugin:to_insert():plugin(0)
if env("ZV_LABELS") ~= "" then
  for label in env("ZV_LABELS"):gmatch("[^|]+") do
    if insert:preset_by_label(label) then print("preset: " .. label) end
  end
else
  for preset in insert:get_info():get_presets(false):iter() do print("preset: " .. preset.label) end
end
if env("ZV_STOP_ENGINE") == "1" then AudioEngine:stop(false) end
for port, value in env("ZV_SET"):gmatch("(%d+)=(%-?[%d.]+)") do
  if not ARDOUR.LuaAPI.set_processor_param(plugin, tonumber(port), tonumber(value)) then fail("cannot set " .. port) end
end
if env("ZV_PRESET") ~= "" then
  local preset = insert:preset_by_label(env("ZV_PRESET"))
  if not preset or not insert:load_preset(preset) then fail("no preset " .. env("ZV_PRESET")) end
end
-- The host's bypass: the insert's enable switch, which Ardour passes to a
-- plug-in's lv2:enabled port (the processor stays active).
if env("ZV_BYPASS") == "1" then plugin:to_insert():enable(false) end
if env("ZV_WAIT") ~= "" then ARDOUR.LuaAPI.usleep(1000 * tonumber(env("ZV_WAIT"))) end
save()
close_session()

-- Reopened: what the host shows.
elseif step == "show" then
if not load_session(dir, name) then fail("cannot reopen the session") end
local reopened = Session:route_by_name("T"):nth_plugin(0)
for i = 0, 20 do
  print(string.format("value: %d %g", i, ARDOUR.LuaAPI.get_processor_param(reopened, i)))
end
print("active: " .. (reopened:active() and 1 or 0))
-- Ardour numbers the controls alone: LV2, the 21 parameters, the two peaks,
-- then the enabled switch; VST3, the 21 parameters, then the bypass.
local switch = env("ZV_SWITCH") ~= "" and tonumber(env("ZV_SWITCH")) or 23
print(string.format("switch: %g", ARDOUR.LuaAPI.get_processor_param(reopened, switch)))
close_session()
else
  fail("unknown step " .. step)
end
