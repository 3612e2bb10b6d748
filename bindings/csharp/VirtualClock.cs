// The stand-ins' virtual devices (Standins.cs declares their C API): a
// virtual clock behind our ClockLink and a virtual ring reader behind our
// RingReader, each IDisposable, their arguments checked as the exports' are.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Skylark
{
    /// <summary>A CLV_ or RRV_ function refused; Code is its CLV_ERR_ code (0 for RRV_).</summary>
    public class VirtualClockException : Exception
    {
        public string Function { get; }
        public int Code { get; }
        public string Name { get; }

        public VirtualClockException(string function, int code, string text)
            : base(function + ": " + text + (code != 0 ? " (" + Check.ErrorName((uint)code) + ", " + code + ")" : ""))
        {
            Function = function;
            Code = code;
            Name = code != 0 ? Check.ErrorName((uint)code) : null;
        }
    }

    /// <summary>A virtual clock of our ClockLink; every CLV_ function on an open clock is a method
    /// (Devices.cs: CLV_SetSeed -> SetSeed); the members here read more naturally.</summary>
    public sealed partial class VirtualClock : IDisposable
    {
        public const int KindM = Clv.KIND_M, KindS = Clv.KIND_S, KindH = Clv.KIND_H;

        public uint Handle { get; private set; }

        VirtualClock(uint handle) { Handle = handle; }

        /// <summary>A fresh clock of a kind (KindM, KindS, KindH).</summary>
        public VirtualClock(int kind)
        {
            if (kind != KindM && kind != KindS && kind != KindH)
                throw new SkylarkArgumentException("CLV_Open", "kind", "must be KindM, KindS or KindH (1, 2, 3), got " + kind);
            Handle = ClockLink.CLV_Open(kind);
            if (Handle == 0) throw new VirtualClockException("CLV_Open", Clv.ERR_NO_CHANNEL, "no virtual clock opened");
        }

        /// <summary>The clock saved at path, its time run on by the time away (unless frozen).</summary>
        /// <summary>A refused file throws VirtualClockException whose message names the field that is
        /// wrong (a JSON pointer, from CLV_LoadEx).</summary>
        public static VirtualClock Load(string path)
        {
            int err;
            var why = new StringBuilder(256);
            uint h = ClockLink.CLV_LoadEx(CheckPath("CLV_LoadEx", path), out err, why, (uint)why.Capacity);
            if (h == 0)
                throw new VirtualClockException("CLV_Load", err, Text(err) + (why.Length > 0 ? ": " + why : ""));
            return new VirtualClock(h);
        }

        /// <summary>Whether this ClockLink opens virtual clocks.</summary>
        public static bool Available()
        {
            try
            {
                uint h = ClockLink.CLV_Open(KindM);
                if (h != 0) ClockLink.CLV_Close(h);
                return h != 0;
            }
            catch (EntryPointNotFoundException) { return false; }
        }

        public static string Text(int code) { return Marshal.PtrToStringAnsi(ClockLink.CLV_ErrorText(code)); }

        static string CheckPath(string function, string path)
        {
            if (string.IsNullOrEmpty(path) || path.IndexOf('\0') >= 0)
                throw new SkylarkArgumentException(function, "path", "must be a non-empty path without NUL characters");
            return path;
        }

        static void Ok(string function, int code)
        {
            if (code != 0) throw new VirtualClockException(function, code, Text(code));
        }

        public int Kind { get { int k; Ok("CLV_GetKind", ClockLink.CLV_GetKind(Handle, out k)); return k; } }

        public DateTime? Time
        {
            get { double d; Ok("CLV_GetClockTime", ClockLink.CLV_GetClockTime(Handle, out d)); return OleDate.To(d); }
            set { Ok("CLV_SetClockTime", ClockLink.CLV_SetClockTime(Handle, Check.Date("CLV_SetClockTime", "date", value.Value))); }
        }

        public void Freeze(bool frozen = true) { Ok("CLV_FreezeClock", ClockLink.CLV_FreezeClock(Handle, frozen ? 1 : 0)); }

        public uint ArrivalCount(long race = 0)
        {
            uint n;
            Ok("CLV_GetArrivalCount", ClockLink.CLV_GetArrivalCount(Handle, Check.Number("CLV_GetArrivalCount", "raceIndex", race, 16), out n));
            return n;
        }

        public string StoredRecord(long race, long record, byte[] vKey)
        {
            const string f = "CLV_GetStoredRecord";
            var text = new StringBuilder(97);
            Ok(f, ClockLink.CLV_GetStoredRecord(Handle, Check.Number(f, "raceIndex", race, 16), Check.Number(f, "recordIndex", record, 16),
                                                Check.Bytes(f, "vKey", vKey, 8), text));
            return text.ToString();
        }

        public string MaskedRecord(long race, long record)
        {
            const string f = "CLV_GetMaskedRecord";
            var text = new StringBuilder(49);
            Ok(f, ClockLink.CLV_GetMaskedRecord(Handle, Check.Number(f, "raceIndex", race, 16), Check.Number(f, "recordIndex", record, 16), text));
            return text.ToString();
        }

        public uint LogCount { get { uint n; Ok("CLV_GetLogCount", ClockLink.CLV_GetLogCount(Handle, out n)); return n; } }

        public void Dispose()
        {
            if (Handle != 0) ClockLink.CLV_Close(Handle);
            Handle = 0;
        }
    }

    /// <summary>A virtual ring reader; Handle is the reader argument of the SKR_ exports.</summary>
    public sealed partial class VirtualReader : IDisposable
    {
        public uint Handle { get; private set; }

        public VirtualReader() { Handle = RingReader.RRV_Open(); }

        VirtualReader(uint handle) { Handle = handle; }

        /// <summary>The reader saved at path (RRV_Save, or a reader file written by hand): its tags and
        /// the tag in the field, not activated. A refused file throws VirtualClockException whose
        /// Code is its RRV_ERR_ code and whose message names the field that is wrong (RRV_LoadEx).</summary>
        public static VirtualReader Load(string path)
        {
            int err;
            var why = new StringBuilder(256);
            uint h = RingReader.RRV_LoadEx(CheckPath("RRV_LoadEx", path), out err, why, (uint)why.Capacity);
            if (h == 0)
                throw new VirtualClockException("RRV_Load", err, FileText(err) + (why.Length > 0 ? ": " + why : ""));
            return new VirtualReader(h);
        }

        /// <summary>Saves every tag the reader holds and which one lies in the field to path,
        /// atomically (RRV_Save); a failure throws VirtualClockException with its RRV_ERR_ code.</summary>
        public void Save(string path)
        {
            int code = RingReader.RRV_Save(Handle, CheckPath("RRV_Save", path));
            if (code != Clv.RRV_OK) throw new VirtualClockException("RRV_Save", code, FileText(code));
        }

        // The words for an RRV_ERR_ code (the values of the clocks' codes of the same meaning).
        static string FileText(int code)
        {
            switch (code)
            {
                case Clv.RRV_ERR_FILE_IO: return "the file cannot be read or written";
                case Clv.RRV_ERR_FILE_DAMAGED: return "not a reader file, damaged or truncated";
                case Clv.RRV_ERR_FILE_VERSION: return "saved by a newer version";
                case Clv.RRV_ERR_BAD_ARGUMENT: return "an unknown reader, a null path";
                case Clv.RRV_ERR_FULL: return "out of memory";
                default: return "error " + code;
            }
        }

        static string CheckPath(string function, string path)
        {
            if (string.IsNullOrEmpty(path) || path.IndexOf('\0') >= 0)
                throw new SkylarkArgumentException(function, "path", "must be a non-empty path without NUL characters");
            return path;
        }

        static void Ok(string function, int result)
        {
            if (result == 0)
                throw new VirtualClockException(function, 0, "refused (unknown reader, no tag in the field, or no such tag, page or fault)");
        }

        public void Dispose()
        {
            if (Handle != 0) RingReader.RRV_Close(Handle);
            Handle = 0;
        }
    }
}
