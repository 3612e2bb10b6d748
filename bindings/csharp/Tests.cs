// Runs the C# binding against libskylark.so (Skylark.dll) and the stand-in
// ClockLink: codecs and records, the scripted test clock, and a virtual M
// clock (typical road, refused password, tampered download).
// Prints one line per check and "N passed, N failed"; exit status 1 on a failure.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Skylark.Tests
{
    static class ScriptedClock
    {
        [StructLayout(LayoutKind.Sequential)]
        public struct Answer
        {
            public short status;
            [MarshalAs(UnmanagedType.ByValArray, SizeConst = 256)] public byte[] reply;
            public uint replyBytes, delivered, errCode;
            public IntPtr hook, hookContext;
        }

        [DllImport(ClockLink.Library)] public static extern uint CLT_OpenTestClock();
        [DllImport(ClockLink.Library)] public static extern void CLT_Close(uint h);
        [DllImport(ClockLink.Library)] public static extern void CLT_Queue(uint h, ref Answer a);
        [DllImport(ClockLink.Library)] public static extern uint CLT_CallCount(uint h);

        public static void Queue(uint h, short status, byte[] reply, uint err = 0)
        {
            var a = new Answer { status = status, reply = new byte[256], replyBytes = (uint)reply.Length,
                                 delivered = (uint)reply.Length, errCode = err };
            Array.Copy(reply, a.reply, reply.Length);
            CLT_Queue(h, ref a);
        }
    }

    static class Program
    {
        static int passed, failed;

        static void Check(string what, bool ok)
        {
            Console.WriteLine((ok ? "ok    " : "FAIL  ") + what);
            if (ok) passed++; else failed++;
        }

        static void Run(string what, Action test)
        {
            try { test(); }
            catch (Exception e) { Check(what + ": " + e.GetType().Name + " " + e.Message, false); }
        }

        static SkylarkException Throws(Action a)
        {
            try { a(); } catch (SkylarkException e) { return e; }
            return null;
        }

        static int Main()
        {
            Run("codecs", () => {
                var hex = new StringBuilder(2 * 3 + 1);
                Native.BinToHex(new byte[] { 0x00, 0xAB, 0x12 }, 3, hex);
                Check("BinToHex", hex.ToString() == "00AB12");
                var bcd = new byte[6];
                Native.DateToBcd(bcd, new DateTime(2010, 3, 14, 9, 5, 7).ToOADate());
                Check("DateToBcd", BitConverter.ToString(bcd) == "10-03-14-09-05-07");
                Check("BcdToDate", OleDate.To(Native.BcdToDate(bcd)) == new DateTime(2010, 3, 14, 9, 5, 7));
            });
            Run("records", () => {
                var plain = new StringBuilder(BufferSize.SK_ParseRecordInfo2_plain);
                Check("SK_ParseRecordInfo2 returns -1", Native.SK_ParseRecordInfo2(0, new string('0', 48), plain) == -1);
                Check("masked record of zeros gives the mask three times",
                      plain.Length == 48 && plain.ToString(0, 16) == plain.ToString(32, 16));
                var e = Throws(() => Records.Parse(new byte[8], new string('0', 96)));
                Check("a record that does not prove throws, no ClockLink error",
                      e != null && e.Export == "SK_ParseRecordInfo" && e.ErrorCode == null && e.RefusedBy == Side.Library);
            });
            Run("scripted clock", () => {
                uint h = ScriptedClock.CLT_OpenTestClock();
                var clock = new Clock(h);
                ScriptedClock.Queue(h, 1, new byte[] { 0x10, 0x03, 0x14, 0x09, 0x05, 0x07 });
                Check("GetTime", clock.GetTime() == new DateTime(2010, 3, 14, 9, 5, 7));
                ScriptedClock.Queue(h, 1, new byte[] { 0xBE, 0xEF, 0x12, 0x34, 0x56, 0x78 });
                uint f16, f32;
                clock.GetRaceInfo2(0, out f16, out f32);
                Check("SKM_GetRaceInfo2 by its decorated name", f16 == 0xBEEF && f32 == 0x12345678);
                var info = new byte[16];
                for (int i = 0; i < 16; i++) info[i] = (byte)i;
                ScriptedClock.Queue(h, 1, info);
                Check("GetDevInfo fills 32 digits", clock.GetDevInfo() == "000102030405060708090A0B0C0D0E0F");
                ScriptedClock.Queue(h, 0, new byte[0], 131);
                var e = Throws(() => clock.GetTime());
                Check("failure carries export and ClockLink error", e != null && e.Export == "SK_GetTime" && e.ErrorCode == 131 &&
                      e.RefusedBy == Side.ClockLink && e.ErrorName == "CLV_ERR_REPLAY");
                ScriptedClock.Queue(h, 7, new byte[0]);
                Check("pass-through status", Native.SKM_CloseRace(h, "0000000000000000") == 7);
                ScriptedClock.CLT_Close(h);
            });

            Check("this ClockLink opens virtual clocks", VirtualClock.Available());
            var start = new DateTime(2010, 3, 14, 9, 0, 0);
            const string key = "5241434532303130", ring = "0123456789AB";
            var vKey = new byte[] { 0x01, 0x80, 0x7F, 0xFF, 0x00, 0x55, 0xAA, 0x33 };
            Action<uint, int> raceDay = (h, arrivals) => {
                Sk.SK_InitDevEx(h, "pigeon42");
                Sk.SK_ConnectEx(h, "pigeon42");
                Sk.SK_SetPigeon(h, start);
                Sk.SKM_CreateRace(h, key, start, start.AddHours(8), 77);
                for (int i = 0; i < 3; i++) Sk.SKM_AddRaceCard(h, ring.Substring(0, 10) + i.ToString("X2") + "0000");
                Sk.SKM_ConfirmRace(h, key, 3, Encoding.ASCII.GetBytes("BASKET01"));
                for (int i = 0; i < arrivals; i++)
                    ClockLink.CLV_RecordArrival(h, 0, ring.Substring(0, 10) + i.ToString("X2"), start.AddMinutes(90 + i).ToOADate());
            };
            Run("virtual clock: typical road", () => {
                using (var vc = new VirtualClock(VirtualClock.KindM)) {
                    var clock = new Clock(vc.Handle);
                    clock.Initialise();
                    clock.Connect();
                    clock.SetTime(start);
                    vc.Freeze();
                    Check("time set and read", clock.GetTime() == start);
                    Sk.SKM_CreateRace(vc.Handle, key, start, start.AddHours(8), 77);
                    Sk.SKM_AddRaceCard(vc.Handle, ring + "0000");
                    Sk.SKM_ConfirmRace(vc.Handle, key, 1, new byte[8]);
                    vc.RecordArrival(0, ring, start.AddMinutes(90));
                    Check("one race", clock.GetRaceCount() == 1);
                    uint cards, param;
                    clock.GetRaceInfo2(0, out cards, out param);
                    Check("cards and race parameter", cards == 1 && param == 77);
                    string body, lead;
                    DateTime? arrival;
                    clock.GetRaceRecord(0, 0, out body, out arrival, out lead);
                    Check("verified arrival", body.StartsWith(ring) && arrival == start.AddMinutes(90));
                    string plain = Records.Parse(vKey, vc.StoredRecord(0, 0, vKey));
                    Check("stored record proves", plain.Substring(0, 32) == body && plain.Substring(44, 8) == lead);
                }
            });
            Run("virtual clock: refused password is ClockLink's, in words", () => {
                using (var vc = new VirtualClock(VirtualClock.KindM)) {
                    var clock = new Clock(vc.Handle);
                    vc.SetPassword("s3cret");
                    var e = Throws(() => clock.Connect("wrong"));
                    Check("wrong password refused by ClockLink", e != null && e.Export == "SK_ConnectEx" &&
                          e.RefusedBy == Side.ClockLink && e.ErrorCode == Clv.ERR_BAD_PROOF &&
                          e.ErrorName == "CLV_ERR_BAD_PROOF" && e.ErrorText == VirtualClock.Text(Clv.ERR_BAD_PROOF) &&
                          e.Message.Contains(e.ErrorText));
                    e = Throws(() => clock.GetRaceCount());
                    Check("locked until authenticated", e != null && e.ErrorCode == Clv.ERR_NOT_AUTHENTICATED);
                    clock.Connect("s3cret");
                    Check("right password", clock.GetRaceCount() == 0);
                }
            });
            Run("virtual clock: a refused reply is the library's", () => {
                foreach (var fault in new[] { Clv.FAULT_TAMPER, Clv.FAULT_CUT }) {
                    using (var vc = new VirtualClock(VirtualClock.KindM)) {
                        raceDay(vc.Handle, 1);
                        vc.SetFault(fault, fault == Clv.FAULT_TAMPER ? 40 : 3);
                        string body, lead;
                        DateTime? arrival;
                        var e = Throws(() => Sk.SKM_GetRaceRecord(vc.Handle, 0, 0, out body, out arrival, out lead));
                        Check("fault " + fault + ": refused by the library", e != null && e.Export == "SKM_GetRaceRecord" &&
                              e.RefusedBy == Side.Library && e.ErrorName == null);
                        Sk.SKM_GetRaceRecord(vc.Handle, 0, 0, out body, out arrival, out lead);
                        Check("fault " + fault + ": intact reply accepted", body.StartsWith(ring.Substring(0, 10)));
                    }
                }
                var r = Throws(() => Records.Parse(vKey, new string('0', 96)));
                Check("a record that does not prove is the library's", r != null && r.RefusedBy == Side.Library && r.ErrorCode == null);
            });
            Run("virtual clock: a race as rows, with progress", () => {
                using (var vc = new VirtualClock(VirtualClock.KindM)) {
                    raceDay(vc.Handle, 3);
                    var seen = new StringBuilder();
                    var rows = Race.Download(vc.Handle, 0, (done, total) => {
                        seen.Append(done + "/" + total + " ");
                        if (done == 1) vc.SetFault(Clv.FAULT_TAMPER, 33);
                    });
                    Check("progress after each record", seen.ToString() == "1/3 2/3 3/3 ");
                    Check("rows in order, the tampered one not verified", rows.Count == 3 && rows[0].Verified &&
                          !rows[1].Verified && rows[1].Body == null && rows[2].Verified && rows[2].Ring == ring.Substring(0, 10) + "02" &&
                          rows[2].Time == start.AddMinutes(92));
                    vc.SetFault(Clv.FAULT_FAIL, Clv.ERR_BAD_STATE);
                    var e = Throws(() => Race.Download(vc.Handle, 0));
                    Check("a ClockLink failure throws", e != null && e.RefusedBy == Side.ClockLink && e.ErrorCode == Clv.ERR_BAD_STATE);
                }
            });
            Run("virtual clock: an S clock's race as rows", () => {
                using (var vc = new VirtualClock(VirtualClock.KindS)) {
                    Sk.SK_Connect(vc.Handle);
                    Sk.SK_SetPigeon(vc.Handle, start);
                    Sk.SKS_CreateRace(vc.Handle, key, start.AddHours(1), start.AddHours(9));
                    vc.RecordArrival(0, ring, start.AddHours(2));
                    var rows = Race.DownloadSingle(vc.Handle);
                    Check("one verified row without a lead field", rows.Count == 1 && rows[0].Verified &&
                          rows[0].Ring == ring && rows[0].Lead == null && rows[0].Time == start.AddHours(2));
                }
            });
            Run("virtual clock: seeded, flown", () => {
                var days = new string[2];
                for (int day = 0; day < 2; day++) {
                    using (var vc = new VirtualClock(VirtualClock.KindM)) {
                        vc.SetSeed(2026);
                        vc.Freeze();
                        raceDay(vc.Handle, 0);
                        CLV_FlySummary summary;
                        vc.Fly(0, 50.85, 4.35, start.AddHours(1), 52.37, 4.89, 7, 1200, 60, 0, out summary);
                        var rows = Race.Download(vc.Handle, 0);
                        var text = new StringBuilder(summary.arrived + ":");
                        foreach (var r in rows) text.Append(r.Ring + "@" + r.Time + " ");
                        days[day] = text.ToString();
                        Check("the flight arrived, every row verified", summary.arrived == 3 && rows.Count == 3 &&
                              rows.TrueForAll(r => r.Verified));
                    }
                }
                Check("the same seed flies the same day", days[0] == days[1]);
            });
            Run("virtual clock: saved and loaded", () => {
                string path = System.IO.Path.Combine(System.IO.Path.GetTempPath(), "skylark-cs-" + Guid.NewGuid() + ".json");
                try {
                    using (var vc = new VirtualClock(VirtualClock.KindM)) {
                        raceDay(vc.Handle, 2);
                        vc.Freeze();
                        vc.Save(path);
                    }
                    using (var vc = VirtualClock.Load(path)) {
                        Sk.SK_ConnectEx(vc.Handle, "pigeon42");
                        var rows = Race.Download(vc.Handle, 0);
                        Check("the loaded clock has the race and its arrivals", vc.Kind == VirtualClock.KindM &&
                              rows.Count == 2 && rows[1].Verified);
                    }
                    System.IO.File.WriteAllText(path, "{}");
                    VirtualClockException damaged = null;
                    try { VirtualClock.Load(path); } catch (VirtualClockException x) { damaged = x; }
                    Check("a damaged file is refused with its code and the field" + (damaged != null ? " -- " + damaged.Message : ""),
                          damaged != null && damaged.Code == Clv.ERR_FILE_DAMAGED && damaged.Message.Contains(": /"));
                } finally {
                    System.IO.File.Delete(path);
                }
            });
            Run("virtual reader: a tag formatted and read back", () => {
                using (var reader = new VirtualReader()) {
                    var uid = new byte[] { 0xA1, 0xB2, 0xC3, 0xD4 };
                    var e = Throws(() => { string u; Sk.SKR_ActiveCard(reader.Handle, out u); });
                    Check("no tag: RingReader's failure", e != null && e.RefusedBy == Side.RingReader);
                    reader.PutTag(uid);
                    string active, ringNo, raceNo;
                    Sk.SKR_ActiveCard(reader.Handle, out active);
                    Sk.SKR_FormatCard(reader.Handle, "0123456789AB", "00001234");
                    Sk.SKR_ReadCard(reader.Handle, out ringNo, out raceNo);
                    byte[] page;
                    reader.ReadTagPage(0, out page);
                    Check("UID, ring and race number read back", active == "A1B2C3D4" && ringNo == "0123456789AB" &&
                          raceNo == "00001234" && Skylark.Check.HexOf(page) == "A1B2C3D4");
                    Sk.SKR_DeactiveCard(reader.Handle);
                    reader.TakeTag();
                    VirtualClockException empty = null;
                    try { reader.TakeTag(); } catch (VirtualClockException x) { empty = x; }
                    Check("an empty field refuses", empty != null && empty.Function == "RRV_TakeTag");
                    reader.WriteTagPage(7, new byte[] { 0x48, 0x04, 0x62, 0xFF }, uid);
                    var path = System.IO.Path.GetTempFileName();
                    try {
                        reader.Save(path);
                        using (var loaded = VirtualReader.Load(path)) {
                            byte[] p7;
                            loaded.ReadTagPage(7, out p7, uid);
                            Check("a saved reader loads with its tags", Skylark.Check.HexOf(p7) == "480462FF");
                        }
                        System.IO.File.WriteAllText(path, "{\"format\": \"skylark-virtual-reader\", \"version\": 1, \"field\": \"00000001\"}");
                        VirtualClockException refused = null;
                        try { VirtualReader.Load(path); } catch (VirtualClockException x) { refused = x; }
                        Check("a damaged reader file is refused, naming the field",
                              refused != null && refused.Code == Clv.RRV_ERR_FILE_DAMAGED && refused.Message.Contains("/field"));
                    } finally {
                        System.IO.File.Delete(path);
                    }
                }
            });
            Run("mistaken arguments", () => {
                uint h = ScriptedClock.CLT_OpenTestClock();
                var when = new DateTime(2026, 5, 16, 7, 30, 0);
                const string r = "2026A0001001";
                // (what, call, the argument refused, words of the message)
                var mistakes = new Tuple<string, Action, string, string>[] {
                    Tuple.Create("13-digit ring", (Action)(() => Sk.SKM_AppendCard(h, r + "1", 1, 2, 3, 4, 5, new string('0', 24))), "ringText", "13 digits"),
                    Tuple.Create("ring with letters and hyphens", (Action)(() => Sk.SKM_AppendCard(h, "NL-2026-1234567", 1, 2, 3, 4, 5, new string('0', 24))), "ringText", "'N' at position 0"),
                    Tuple.Create("70000 in a 16-bit field", (Action)(() => Sk.SKM_AppendCard(h, r, 1, 70000, 3, 4, 5, new string('0', 24))), "wordField1", "0 to 65535"),
                    Tuple.Create("-1 in a 16-bit field", (Action)(() => Sk.SKM_AppendCard(h, r, 1, 2, -1, 4, 5, new string('0', 24))), "wordField2", "got -1"),
                    Tuple.Create("256 in a byte", (Action)(() => Sk.SKM_AppendCard(h, r, 256, 2, 3, 4, 5, new string('0', 24))), "byteField", "0 to 255"),
                    Tuple.Create("2^32 in a 32-bit field", (Action)(() => Sk.SKM_AppendCard(h, r, 1, 2, 3, 4, 1L << 32, new string('0', 24))), "longField", "0 to 4294967295"),
                    Tuple.Create("short data field", (Action)(() => Sk.SKM_AppendCard(h, r, 1, 2, 3, 4, 5, new string('0', 22))), "dataField", "22 digits"),
                    Tuple.Create("race key of letters", (Action)(() => Sk.SKM_CreateRace(h, "MAY16ORL", when, when, 0)), "raceKeyHex", "'M' at position 0"),
                    Tuple.Create("UTC time", (Action)(() => Sk.SKM_CreateRace(h, key, when.ToUniversalTime(), when, 0)), "firstTime", "convert it explicitly"),
                    Tuple.Create("time in 1999", (Action)(() => Sk.SKM_CreateRace(h, key, when, new DateTime(1999, 12, 31), 0)), "secondTime", "2000 to 2099"),
                    Tuple.Create("confirmation value too wide", (Action)(() => Sk.SKM_ConfirmRace(h, key, 70000, new byte[8])), "confirmValue", "16-bit"),
                    Tuple.Create("confirmation data of 7 bytes", (Action)(() => Sk.SKM_ConfirmRace(h, key, 12, new byte[7])), "confirmData", "exactly 8 bytes, got 7"),
                    Tuple.Create("17-character password", (Action)(() => Sk.SK_ConnectEx(h, new string('x', 17))), "password", "at most 8 characters"),
                    Tuple.Create("9-character password", (Action)(() => Sk.SK_InitDevEx(h, "pigeon420")), "password", "at most 8 characters"),
                    Tuple.Create("phone code with hyphens", (Action)(() => Sk.SKM_SetPhoneCode(h, "0031-20-5551234")), "phoneCode", "'-'"),
                    Tuple.Create("coordinate without its leading digit", (Action)(() => Sk.SKM_SetSiteInfo(h, "00000001", "52.37000000", "004.89000000")), "coordText1", "DDD.FFFFFFFF"),
                    Tuple.Create("record index too wide", (Action)(() => { string b, l; DateTime? t; Sk.SKM_GetRaceRecord(h, 0, 65536, out b, out t, out l); }), "recordIndex", "0 to 65535"),
                    Tuple.Create("ring tag race number of 7 digits", (Action)(() => Sk.SKR_FormatCard(h, r, "0000123")), "raceNoHex", "7 digits"),
                    Tuple.Create("record key of 7 bytes", (Action)(() => Records.Parse(new byte[7], new string('0', 96))), "vKey", "exactly 8 bytes"),
                };
                foreach (var m in mistakes) {
                    SkylarkArgumentException e = null;
                    try { m.Item2(); } catch (SkylarkArgumentException x) { e = x; }
                    Check("refused: " + m.Item1 + (e != null ? " -- " + e.Message : ""),
                          e != null && e.Argument == m.Item3 && e.ParamName == m.Item3 &&
                          e.Message.StartsWith(e.Export + ": " + m.Item3 + " ") && e.Message.Contains(m.Item4));
                }
                Check("nothing reached ClockLink", ScriptedClock.CLT_CallCount(h) == 0);
                Sk.SKM_AppendCard(h, r.ToLowerInvariant(), 255, 65535, 0, 0, 0xFFFFFFFF, Skylark.Check.HexOf(new byte[12]));
                Sk.SK_ConnectEx(h, "pigeon42");
                Check("what is right goes out", ScriptedClock.CLT_CallCount(h) > 0);
                ScriptedClock.CLT_Close(h);
            });
            Console.WriteLine(passed + " passed, " + failed + " failed");
            return failed == 0 ? 0 : 1;
        }
    }
}
