// The checked layer's support (argument checks, the errors that say who
// refused, OLE dates) and the road in C# terms on top of Checked.cs (Sk):
// Clock for a channel, Race.Download for a whole race as rows, Records for
// stored records. Native (SkylarkNative.cs) stays exactly the C interface.
using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Text;
using System.Text.RegularExpressions;

namespace Skylark
{
    /// <summary>Who refused a call.</summary>
    public enum Side
    {
        /// <summary>ClockLink, or the clock behind it, failed the command (see ErrorCode).</summary>
        ClockLink,
        /// <summary>ClockLink delivered a reply, but it did not pass the library's checks
        /// (or a stored record did not prove).</summary>
        Library,
        /// <summary>RingReader failed.</summary>
        RingReader,
        /// <summary>ClockLink's code was already non-zero before the call and did not change:
        /// a repeated ClockLink failure cannot be told from a refused reply.</summary>
        Undecided
    }

    /// <summary>An export (or a stand-in function) reported failure.</summary>
    public class SkylarkException : Exception
    {
        public string Export { get; }
        public short Status { get; }
        public Side RefusedBy { get; }
        /// <summary>ClockLink's IFD_GetErrCode for the channel after the call; null for exports on no clock.</summary>
        public uint? ErrorCode { get; }
        /// <summary>The stand-ins' CLV_ERR_ name of the code, or null.</summary>
        public string ErrorName { get; }
        /// <summary>CLV_ErrorText's words for the code (our stand-in), else the code table's meaning, or null.</summary>
        public string ErrorText { get; }
        public string Reason { get; }

        public SkylarkException(string export, short status, Side refusedBy, uint? errorCode, string errorText,
                                string reason)
            : base(export + " failed (result " + status + "): " + reason)
        {
            Export = export;
            Status = status;
            RefusedBy = refusedBy;
            ErrorCode = errorCode;
            ErrorName = errorCode.HasValue && errorCode.Value != 0 ? Check.ErrorName(errorCode.Value) : null;
            ErrorText = errorText;
            Reason = reason;
        }
    }

    /// <summary>An argument the checked layer refuses before anything is called.</summary>
    public class SkylarkArgumentException : ArgumentException
    {
        readonly string problem;
        public string Export { get; }
        public string Argument { get; }

        public SkylarkArgumentException(string export, string argument, string problem)
            : base(export + ": " + argument + " " + problem, argument)
        {
            Export = export;
            Argument = argument;
            this.problem = problem;
        }

        public override string Message { get { return Export + ": " + Argument + " " + problem; } }
    }

    /// <summary>The checks of the checked layer, and the call that says who refused.</summary>
    public static class Check
    {
        static readonly DateTime First = new DateTime(2000, 1, 1), Last = new DateTime(2099, 12, 31, 23, 59, 59);

        /// <summary>Exactly `digits` hex digits and nothing else (digits 0: any text, for the codecs).</summary>
        public static string Hex(string export, string name, string value, int digits)
        {
            if (value == null) throw new SkylarkArgumentException(export, name, "is required (got null)");
            if (digits == 0) return value;
            for (int i = 0; i < value.Length; i++)
                if (Uri.IsHexDigit(value[i]) == false)
                    throw new SkylarkArgumentException(export, name, "must be exactly " + digits + " hex digits, got \"" +
                        value + "\" (character '" + value[i] + "' at position " + i + " is not a hex digit)");
            if (value.Length != digits)
                throw new SkylarkArgumentException(export, name, "must be exactly " + digits + " hex digits, got \"" +
                    value + "\" (" + value.Length + " digits)");
            return value.ToUpperInvariant();
        }

        /// <summary>Bytes as the hex text the exports take.</summary>
        public static string HexOf(byte[] data) { return BitConverter.ToString(data).Replace("-", ""); }

        /// <summary>0 to 2^bits - 1: what fits the field.</summary>
        public static uint Number(string export, string name, long value, int bits)
        {
            long limit = (1L << bits) - 1;
            if (value < 0 || value > limit)
                throw new SkylarkArgumentException(export, name, "must be 0 to " + limit + " (" + (bits == 8 ? "an " : "a ") + bits +
                    "-bit field), got " + value);
            return (uint)value;
        }

        /// <summary>Single-byte text: no NUL, at most maxChars (0: no limit), only chars, of the form.</summary>
        public static string Text(string export, string name, string value, int maxChars, string chars, string form,
                                  bool optional)
        {
            if (value == null)
            {
                if (optional) return null;
                throw new SkylarkArgumentException(export, name, "is required (got null)");
            }
            foreach (char c in value)
            {
                if (c == '\0') throw new SkylarkArgumentException(export, name, "must not contain a NUL character");
                if (c > 0xFF) throw new SkylarkArgumentException(export, name, "must be single-byte (Latin-1) text, got '" + c + "'");
                if (chars != null && chars.IndexOf(c) < 0)
                    throw new SkylarkArgumentException(export, name, "may hold only " + string.Join(" ", chars.ToCharArray()) +
                        ", got '" + c + "'");
            }
            if (maxChars > 0 && value.Length > maxChars)
                throw new SkylarkArgumentException(export, name, "must be at most " + maxChars +
                    " characters (the clock uses " + maxChars + "), got " + value.Length);
            if (form != null && !Regex.IsMatch(value, "^" + Regex.Escape(form).Replace("D", "[0-9]").Replace("F", "[0-9]") + "$"))
                throw new SkylarkArgumentException(export, name, "must have the form " + form + " (digits), got \"" + value + "\"");
            return value;
        }

        /// <summary>A finite number (coordinates, velocities, shares).</summary>
        public static double Real(string export, string name, double value)
        {
            if (double.IsNaN(value) || double.IsInfinity(value))
                throw new SkylarkArgumentException(export, name, "must be a finite number, got " + value);
            return value;
        }

        /// <summary>Exactly size bytes (size -1: any).</summary>
        public static byte[] Bytes(string export, string name, byte[] value, int size)
        {
            if (value == null) throw new SkylarkArgumentException(export, name, "is required (got null)");
            if (size >= 0 && value.Length != size)
                throw new SkylarkArgumentException(export, name, "must be exactly " + size + " bytes, got " + value.Length);
            return value;
        }

        /// <summary>A local date-time a clock can hold (2000 to 2099). A UTC DateTime is refused:
        /// clocks keep local wall-clock time, so convert it explicitly (ToLocalTime()).</summary>
        public static double Date(string export, string name, DateTime value)
        {
            if (value.Kind == DateTimeKind.Utc)
                throw new SkylarkArgumentException(export, name, "is UTC; clocks keep local wall-clock time without a " +
                    "zone: convert it explicitly, e.g. value.ToLocalTime()");
            if (value < First || value > Last)
                throw new SkylarkArgumentException(export, name, "must lie in 2000 to 2099 (a clock's dates), got " +
                    value.ToString("yyyy-MM-dd HH:mm:ss"));
            return value.ToOADate();
        }

        public static string ErrorName(uint code)
        {
            KeyValuePair<string, string> entry;
            return ErrorCodes.All.TryGetValue(code, out entry) ? entry.Key : null;
        }

        /// <summary>CLV_ErrorText of our stand-in for a ClockLink code; with another ClockLink the table's meaning.</summary>
        public static string ErrorText(uint code)
        {
            KeyValuePair<string, string> entry;
            if (!ErrorCodes.All.TryGetValue(code, out entry)) return null;
            try { return Marshal.PtrToStringAnsi(ClockLink.CLV_ErrorText((int)code)); }
            catch (EntryPointNotFoundException) { return entry.Value; }
        }

        static readonly Dictionary<string, string> ReplyChecks = new Dictionary<string, string>
        {
            { "exact-length", "the clock's reply did not have the expected length" },
            { "minimum-length", "the clock's reply was shorter than the minimum" },
            { "verified", "the clock's reply had the wrong length or its verification code does not answer this call's challenge" },
            { "device-state", "the clock's reply was not the one state byte" },
        };

        /// <summary>Runs an export; on a 0 result throws SkylarkException saying who refused.
        /// For exports whose rule judges the reply, IFD_GetErrCode is read just before and
        /// just after the call: a changed code is ClockLink's failure, a code still 0 means
        /// the library refused the reply, an unchanged non-zero code is Undecided.</summary>
        public static short Call(string export, string family, string rule, uint? handle, Func<short> call)
        {
            bool onClock = handle.HasValue && family != "record" && family != "ring" && family != "codec";
            uint before = onClock ? ClockLink.IFD_GetErrCode(handle.Value) : 0;
            short status = call();
            if (status != 0) return status;
            if (family == "ring")
                throw new SkylarkException(export, status, Side.RingReader, null, null,
                    "RingReader failed (no tag in the field, or a tag operation failed)");
            if (!onClock)
                throw new SkylarkException(export, status, Side.Library, null, null,
                    "the library refused: the record did not pass its checks");
            uint after = ClockLink.IFD_GetErrCode(handle.Value);
            string text = after != 0 ? ErrorText(after) : null;
            string check;
            if (ReplyChecks.TryGetValue(rule, out check) && after == before)
            {
                if (after == 0)
                    throw new SkylarkException(export, status, Side.Library, after, null,
                        "the library refused the reply: " + check);
                throw new SkylarkException(export, status, Side.Undecided, after, text,
                    "ClockLink's code is still " + after + " " + ErrorName(after) + " from an earlier failure: either " +
                    "ClockLink failed again the same way, or the library refused the reply (" + check + ")");
            }
            string name = ErrorName(after);
            throw new SkylarkException(export, status, Side.ClockLink, after, text,
                "ClockLink refused: error " + after + (name != null ? " " + name : "") + (text != null ? " (" + text + ")" : ""));
        }
    }

    /// <summary>OLE Automation dates, as the exports carry them.</summary>
    public static class OleDate
    {
        public static double From(DateTime t) { return t.ToOADate(); }

        /// <summary>null for 0.0, the library's "not a real date-time"; whole milliseconds.</summary>
        public static DateTime? To(double d)
        {
            if (d == 0.0) return null;
            var t = DateTime.FromOADate(d);
            return new DateTime((t.Ticks + TimeSpan.TicksPerMillisecond / 2) / TimeSpan.TicksPerMillisecond
                                * TimeSpan.TicksPerMillisecond);
        }
    }

    /// <summary>One arrival of a downloaded race; Lead, Body and Time are null when the
    /// download was refused (Verified false).</summary>
    public sealed class Arrival
    {
        public int Index { get; }
        /// <summary>Lead field, 8 hex digits (our clocks: the clock's serial number); null on S and H.</summary>
        public string Lead { get; }
        /// <summary>Record body, 32 hex digits; its first 12 are the ring number.</summary>
        public string Body { get; }
        public DateTime? Time { get; }
        public bool Verified { get; }
        public string Ring { get { return Body != null ? Body.Substring(0, 12) : null; } }

        public Arrival(int index, string lead, string body, DateTime? time, bool verified)
        {
            Index = index; Lead = lead; Body = body; Time = time; Verified = verified;
        }
    }

    /// <summary>A whole race downloaded in one call.</summary>
    public static class Race
    {
        /// <summary>Every arrival of the M clock's race at raceIndex, each proven by the clock.
        /// A reply the library refuses is asked again up to retries times (each with a fresh
        /// challenge), then given as a row with Verified false; a ClockLink failure throws.
        /// progress(done, total) is called after each record. How many: count, else SKM_GetRaceInfo's
        /// race figure, which our virtual clocks give as the number of arrivals.</summary>
        public static List<Arrival> Download(uint handle, uint raceIndex, Action<int, int> progress = null, int retries = 0,
                                             int? count = null)
        {
            string key; DateTime? first, second; uint figure = 0;
            if (!count.HasValue) Sk.SKM_GetRaceInfo(handle, raceIndex, out key, out first, out second, out figure);
            return Rows(count ?? (int)figure, progress, retries, i => {
                string body, lead; DateTime? t;
                Sk.SKM_GetRaceRecord(handle, raceIndex, i, out body, out t, out lead);
                return new Arrival(i, lead, body, t, true);
            });
        }

        /// <summary>Every arrival of an S or H clock's race, as Download; how many: count, else
        /// SKS_QueryState's first counter (our virtual clocks: the number of arrivals).</summary>
        public static List<Arrival> DownloadSingle(uint handle, Action<int, int> progress = null, int retries = 0,
                                                   int? count = null)
        {
            byte state; DateTime? t; uint first = 0, second;
            if (!count.HasValue) Sk.SKS_QueryState(handle, out state, out t, out first, out second);
            return Rows(count ?? (int)first, progress, retries, i => {
                string body; DateTime? when;
                Sk.SKS_GetRaceRecord(handle, i, out body, out when);
                return new Arrival(i, null, body, when, true);
            });
        }

        static List<Arrival> Rows(int total, Action<int, int> progress, int retries, Func<int, Arrival> fetch)
        {
            var rows = new List<Arrival>();
            for (int i = 0; i < total; i++)
            {
                Arrival row = null;
                for (int attempt = 0; attempt <= retries && row == null; attempt++)
                {
                    try { row = fetch(i); }
                    catch (SkylarkException e) { if (e.RefusedBy == Side.ClockLink) throw; }
                }
                rows.Add(row ?? new Arrival(i, null, null, null, false));
                if (progress != null) progress(i + 1, total);
            }
            return rows;
        }
    }

    /// <summary>A clock on an open ClockLink channel: the most used exports, checked.</summary>
    public class Clock
    {
        public uint Handle { get; }
        public Clock(uint handle) { Handle = handle; }

        /// <summary>Authenticates the channel (password: at most 8 characters, or null). ClockLink's status.</summary>
        public short Connect(string password = null) { return Sk.SK_ConnectEx(Handle, password); }

        public short Initialise(string password = null) { return Sk.SK_InitDevEx(Handle, password); }

        public DateTime? GetTime() { DateTime? t; Sk.SK_GetTime(Handle, out t); return t; }

        /// <summary>Sets the clock's time with the encrypted verification block.</summary>
        public short SetTime(DateTime t) { return Sk.SK_SetPigeon(Handle, t); }

        public string GetDevInfo() { string info; Sk.SK_GetDevInfo(Handle, out info); return info; }

        public uint GetRaceCount() { uint n; Sk.SKM_GetRaceCount(Handle, out n); return n; }

        /// <summary>The race's number of cards (16 bits) and race parameter (32 bits).</summary>
        public void GetRaceInfo2(uint raceIndex, out uint figure16, out uint figure32)
        {
            Sk.SKM_GetRaceInfo2(Handle, raceIndex, out figure16, out figure32);
        }

        /// <summary>One verified arrival: record body, arrival time, lead field.</summary>
        public void GetRaceRecord(uint raceIndex, uint recordIndex, out string body, out DateTime? arrival, out string lead)
        {
            Sk.SKM_GetRaceRecord(Handle, raceIndex, recordIndex, out body, out arrival, out lead);
        }

        public List<Arrival> DownloadRace(uint raceIndex, Action<int, int> progress = null, int retries = 0)
        {
            return Race.Download(Handle, raceIndex, progress, retries);
        }
    }

    /// <summary>Stored records: no clock.</summary>
    public static class Records
    {
        /// <summary>The 40 plain bytes of a stored record as 80 hex digits; throws when it does not prove.</summary>
        public static string Parse(byte[] vKey, string recordHex)
        {
            string plain;
            Sk.SK_ParseRecordInfo(vKey, recordHex, out plain);
            return plain;
        }
    }
}
