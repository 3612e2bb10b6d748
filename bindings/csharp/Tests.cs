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
                      e != null && e.Export == "SK_ParseRecordInfo" && e.ErrorCode == null);
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
                Check("failure carries export and ClockLink error", e != null && e.Export == "SK_GetTime" && e.ErrorCode == 131);
                ScriptedClock.Queue(h, 7, new byte[0]);
                Check("pass-through status", Native.SKM_CloseRace(h, "0000000000000000") == 7);
                ScriptedClock.CLT_Close(h);
            });

            Check("this ClockLink opens virtual clocks", VirtualClock.Available());
            {
                var start = new DateTime(2010, 3, 14, 9, 0, 0);
                const string key = "5241434532303130", ring = "0123456789AB";
                var vKey = new byte[] { 0x01, 0x80, 0x7F, 0xFF, 0x00, 0x55, 0xAA, 0x33 };
                Run("virtual clock: typical road", () => {
                    using (var vc = new VirtualClock(VirtualClock.KindM)) {
                        var clock = new Clock(vc.Handle);
                        clock.Initialise();
                        clock.Connect();
                        clock.SetTime(start);
                        vc.Freeze();
                        Check("time set and read", clock.GetTime() == start);
                        clock.Check("SKM_CreateRace", Native.SKM_CreateRace(vc.Handle, key, start.ToOADate(), start.AddHours(8).ToOADate(), 77));
                        clock.Check("SKM_AddRaceCard", Native.SKM_AddRaceCard(vc.Handle, ring + "0000"));
                        clock.Check("SKM_ConfirmRace", Native.SKM_ConfirmRace(vc.Handle, key, 1, new byte[8]));
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
                Run("virtual clock: refused password", () => {
                    using (var vc = new VirtualClock(VirtualClock.KindM)) {
                        var clock = new Clock(vc.Handle);
                        vc.SetPassword("s3cret");
                        var e = Throws(() => clock.Connect("wrong"));
                        Check("wrong password refused", e != null && e.Export == "SK_ConnectEx" && e.ErrorCode == VirtualClock.ErrBadProof);
                        e = Throws(() => clock.GetRaceCount());
                        Check("locked until authenticated", e != null && e.ErrorCode == VirtualClock.ErrNotAuthenticated);
                        clock.Connect("s3cret");
                        Check("right password", clock.GetRaceCount() == 0);
                    }
                });
                Run("virtual clock: tampered download", () => {
                    using (var vc = new VirtualClock(VirtualClock.KindM)) {
                        var clock = new Clock(vc.Handle);
                        clock.Initialise();
                        clock.Connect();
                        clock.Check("SKM_CreateRace", Native.SKM_CreateRace(vc.Handle, key, start.ToOADate(), start.AddHours(8).ToOADate(), 0));
                        clock.Check("SKM_AddRaceCard", Native.SKM_AddRaceCard(vc.Handle, ring + "0000"));
                        clock.Check("SKM_ConfirmRace", Native.SKM_ConfirmRace(vc.Handle, key, 1, new byte[8]));
                        vc.RecordArrival(0, ring, start.AddMinutes(30));
                        vc.SetFault(VirtualClock.FaultTamper, 40);
                        string body, lead;
                        DateTime? arrival;
                        var e = Throws(() => clock.GetRaceRecord(0, 0, out body, out arrival, out lead));
                        Check("tampered reply refused", e != null && e.Export == "SKM_GetRaceRecord");
                        clock.GetRaceRecord(0, 0, out body, out arrival, out lead);
                        Check("intact reply accepted", body.StartsWith(ring));
                    }
                });
            }
            Console.WriteLine(passed + " passed, " + failed + " failed");
            return failed == 0 ? 0 : 1;
        }
    }
}
