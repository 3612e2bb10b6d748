// A thin friendlier layer over the P/Invoke declarations of SkylarkNative.cs:
// results checked (a failure throws SkylarkException with the export's name
// and ClockLink's error code), buffers sized from BufferSize, dates as
// DateTime and identifiers as hex strings. Native stays available for
// everything this layer does not cover.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Skylark
{
    /// <summary>An export returned 0.</summary>
    public class SkylarkException : Exception
    {
        public string Export { get; }
        /// <summary>ClockLink's IFD_GetErrCode for the channel; null for exports on no clock.</summary>
        public uint? ErrorCode { get; }
        public short Status { get; }

        public SkylarkException(string export, uint? errorCode, short status)
            : base(export + " failed (result " + status +
                   (errorCode.HasValue ? ", ClockLink error " + errorCode.Value : "") + ")")
        {
            Export = export;
            ErrorCode = errorCode;
            Status = status;
        }
    }

    /// <summary>The one ClockLink function a host needs beside Skylark.</summary>
    public static class ClockLink
    {
        public const string Library = "clocklink";

        [DllImport(Library, EntryPoint = "IFD_GetErrCode", CallingConvention = CallingConvention.StdCall)]
        public static extern uint IFD_GetErrCode(uint handle);
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

    /// <summary>A clock on an open ClockLink channel.</summary>
    public class Clock
    {
        public uint Handle { get; }
        public Clock(uint handle) { Handle = handle; }

        /// <summary>Throws unless status is non-zero; returns it.</summary>
        public short Check(string export, short status)
        {
            if (status == 0) throw new SkylarkException(export, ClockLink.IFD_GetErrCode(Handle), status);
            return status;
        }

        /// <summary>Authenticates the channel (password may be null). ClockLink's status.</summary>
        public short Connect(string password = null)
        {
            return Check("SK_ConnectEx", Native.SK_ConnectEx(Handle, password));
        }

        public short Initialise(string password = null)
        {
            return Check("SK_InitDevEx", Native.SK_InitDevEx(Handle, password));
        }

        public DateTime? GetTime()
        {
            double d;
            Check("SK_GetTime", Native.SK_GetTime(Handle, out d));
            return OleDate.To(d);
        }

        /// <summary>Sets the clock's time with the encrypted verification block.</summary>
        public short SetTime(DateTime t)
        {
            return Check("SK_SetPigeon", Native.SK_SetPigeon(Handle, OleDate.From(t)));
        }

        public string GetDevInfo()
        {
            var info = new StringBuilder(BufferSize.SK_GetDevInfo_info);
            Check("SK_GetDevInfo", Native.SK_GetDevInfo(Handle, info));
            return info.ToString();
        }

        public uint GetRaceCount()
        {
            uint n;
            Check("SKM_GetRaceCount", Native.SKM_GetRaceCount(Handle, out n));
            return n;
        }

        /// <summary>The race's number of cards (16 bits) and race parameter (32 bits).</summary>
        public void GetRaceInfo2(uint raceIndex, out uint figure16, out uint figure32)
        {
            Check("SKM_GetRaceInfo2", Native.SKM_GetRaceInfo2(Handle, raceIndex, out figure16, out figure32));
        }

        /// <summary>One verified arrival: record body, arrival time, lead field.</summary>
        public void GetRaceRecord(uint raceIndex, uint recordIndex, out string body, out DateTime? arrival,
                                  out string lead)
        {
            var text = new StringBuilder(BufferSize.SKM_GetRaceRecord_recordText);
            var leadText = new StringBuilder(BufferSize.SKM_GetRaceRecord_leadText);
            double t;
            Check("SKM_GetRaceRecord", Native.SKM_GetRaceRecord(Handle, raceIndex, recordIndex, text, out t, leadText));
            body = text.ToString();
            arrival = OleDate.To(t);
            lead = leadText.ToString();
        }
    }

    /// <summary>Stored records: no clock.</summary>
    public static class Records
    {
        /// <summary>The 40 plain bytes of a stored record as 80 hex digits; throws when it does not prove.</summary>
        public static string Parse(byte[] vKey, string recordHex)
        {
            if (vKey == null || vKey.Length != 8) throw new ArgumentException("vKey must be 8 bytes");
            var plain = new StringBuilder(BufferSize.SK_ParseRecordInfo_plain);
            short status = Native.SK_ParseRecordInfo(vKey, recordHex, plain);
            if (status == 0) throw new SkylarkException("SK_ParseRecordInfo", null, status);
            return plain.ToString();
        }
    }
}
