// The virtual clocks of the stand-in ClockLink (CLV_ functions), for tests
// and demonstrations without hardware.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Skylark
{
    public sealed class VirtualClock : IDisposable
    {
        public const int KindM = 1, KindS = 2, KindH = 3;
        public const int FaultTamper = 1;
        public const uint ErrBadProof = 130, ErrNotAuthenticated = 129;

        const string Lib = ClockLink.Library;
        const CallingConvention Std = CallingConvention.StdCall;

        [DllImport(Lib, CallingConvention = Std)] static extern uint CLV_Open(int kind);
        [DllImport(Lib, CallingConvention = Std)] static extern int CLV_Close(uint h);
        [DllImport(Lib, CallingConvention = Std, CharSet = CharSet.Ansi)] static extern int CLV_SetPassword(uint h, string password);
        [DllImport(Lib, CallingConvention = Std)] static extern int CLV_FreezeClock(uint h, int frozen);
        [DllImport(Lib, CallingConvention = Std, CharSet = CharSet.Ansi)] static extern int CLV_RecordArrival(uint h, uint race, string ring, double date);
        [DllImport(Lib, CallingConvention = Std, CharSet = CharSet.Ansi)] static extern int CLV_GetStoredRecord(uint h, uint race, uint record, byte[] vKey, StringBuilder text);
        [DllImport(Lib, CallingConvention = Std)] static extern int CLV_SetFault(uint h, int fault, uint value);

        public uint Handle { get; private set; }

        public VirtualClock(int kind)
        {
            Handle = CLV_Open(kind);
            if (Handle == 0) throw new InvalidOperationException("this ClockLink opens no virtual clocks");
        }

        /// <summary>Whether this ClockLink opens virtual clocks.</summary>
        public static bool Available()
        {
            uint h = CLV_Open(KindM);
            if (h != 0) CLV_Close(h);
            return h != 0;
        }

        static void Check(string function, int code)
        {
            if (code != 0) throw new InvalidOperationException(function + " refused: " + code);
        }

        public void SetPassword(string password) { Check("CLV_SetPassword", CLV_SetPassword(Handle, password)); }
        public void Freeze() { Check("CLV_FreezeClock", CLV_FreezeClock(Handle, 1)); }
        public void RecordArrival(uint race, string ring, DateTime t)
        {
            Check("CLV_RecordArrival", CLV_RecordArrival(Handle, race, ring, t.ToOADate()));
        }
        public string StoredRecord(uint race, uint record, byte[] vKey)
        {
            var text = new StringBuilder(97);
            Check("CLV_GetStoredRecord", CLV_GetStoredRecord(Handle, race, record, vKey, text));
            return text.ToString();
        }
        public void SetFault(int fault, uint value) { Check("CLV_SetFault", CLV_SetFault(Handle, fault, value)); }

        public void Dispose()
        {
            if (Handle != 0) CLV_Close(Handle);
            Handle = 0;
        }
    }
}
