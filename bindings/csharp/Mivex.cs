// Mivex.cs - P/Invoke declarations and a small managed layer over Mivex.dll for .NET
// Framework hosts. Mivex.dll is a 32-bit library: build the host for x86
// (csc -platform:x86), not AnyCPU, or a 64-bit process will fail to load it.
//
// Counted strings: the library reads a pointer to the first character with the length
// in the 4 bytes before it and a reference count in the 4 bytes before that.
// CountedString builds one in unmanaged memory (count -1: the library never frees it)
// and frees it when disposed. Strings the library hands out (GetFPVerifyTempString)
// are copied into a managed string and released with GetPdtLID at once.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Mivex
{
    public static class NativeMethods
    {
        private const string Dll = "Mivex.dll";

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern int EnCryptData(byte[] keyText, byte[] data, int dataLen, byte[] outHex, out int outLen);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern int DeCryptData(byte[] keyText, byte[] hexText, uint hexLen, byte[] outData, out int outLen);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        [return: MarshalAs(UnmanagedType.U1)]
        public static extern bool EncryptSha256(byte[] data, int dataLen, byte[] outHex);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void GetPdtLID(ref IntPtr output, IntPtr input);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern int GetFPVerifyTempString(ref IntPtr templateVar);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern int GetFPVerifyTemp(byte[] templateBuf);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern int GetFPEnrollTemp(IntPtr userId, IntPtr enrolledFinger, IntPtr fingerCodes,
                                                 int minimum, int maximum, byte[] templateBuf);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern int GetFPEnrollTempBySet(IntPtr userId, IntPtr enrolledFinger, IntPtr fingerCodes,
                                                      IntPtr fingerSequence, int minimum, int maximum,
                                                      byte[] templateBuf);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetFPEnrollTempP(string userId, string enrolledFinger, string fingerCodes,
                                                  int minimum, int maximum, byte[] templateBuf);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi, ExactSpelling = true)]
        public static extern int GetFPEnrollTempBySetP(string userId, string enrolledFinger, string fingerCodes,
                                                       string fingerSequence, int minimum, int maximum,
                                                       byte[] templateBuf);
    }

    // A counted string in unmanaged memory for the counted-string arguments.
    public sealed class CountedString : IDisposable
    {
        private IntPtr block;
        private readonly int length;

        public CountedString(string text)
        {
            byte[] bytes = Encoding.Default.GetBytes(text ?? string.Empty);
            length = bytes.Length;
            if (length == 0) return;  // the empty text is passed as null
            block = Marshal.AllocHGlobal(8 + length + 1);
            Marshal.WriteInt32(block, 0, -1);
            Marshal.WriteInt32(block, 4, length);
            Marshal.Copy(bytes, 0, block + 8, length);
            Marshal.WriteByte(block, 8 + length, 0);
        }

        public IntPtr Handle { get { return length == 0 ? IntPtr.Zero : block + 8; } }

        public void Dispose()
        {
            if (block != IntPtr.Zero) Marshal.FreeHGlobal(block);
            block = IntPtr.Zero;
        }
    }

    // A failed call: Code is the library's result (404, 504, 1 or 2).
    public sealed class MivexException : Exception
    {
        public int Code { get; private set; }
        public MivexException(int code, string message) : base(message) { Code = code; }
    }

    public static class Library
    {
        // Room for an enrollment string: one entry per enrolled finger.
        public const int TemplateBufferSize = 64 * 1024;

        private static byte[] Ansi(string text)
        {
            byte[] bytes = Encoding.Default.GetBytes(text ?? string.Empty);
            Array.Resize(ref bytes, bytes.Length + 1);
            return bytes;
        }

        private static string FromBuffer(byte[] buffer)
        {
            int n = Array.IndexOf(buffer, (byte)0);
            return Encoding.ASCII.GetString(buffer, 0, n < 0 ? buffer.Length : n);
        }

        private static void ThrowOnTemplateResult(int code)
        {
            if (code == 404) throw new MivexException(code, "Refused: a dialog of the library is open, or the enrollment was not completed.");
            if (code == 504) throw new MivexException(code, "No template: the dialog was cancelled or ended without one.");
            if (code != 0) throw new MivexException(code, "Unexpected result " + code + ".");
        }

        public static string Sha256Hex(byte[] data)
        {
            byte[] hex = new byte[65];
            NativeMethods.EncryptSha256(data, data.Length, hex);
            return FromBuffer(hex);
        }

        // The key text's first 32 bytes are the AES-256 key; shorter key texts are refused.
        public static string Encrypt(string keyText, byte[] data)
        {
            byte[] hex = new byte[32 * (data.Length / 16 + 1) + 1];
            int written;
            int code = NativeMethods.EnCryptData(Ansi(keyText), data, data.Length, hex, out written);
            if (code != 0) throw new MivexException(code, "Encryption failed.");
            return Encoding.ASCII.GetString(hex, 0, written);
        }

        public static byte[] Decrypt(string keyText, string hexText)
        {
            byte[] output = new byte[hexText.Length / 2 + 1];
            int written;
            int code = NativeMethods.DeCryptData(Ansi(keyText), Ansi(hexText), (uint)hexText.Length, output, out written);
            if (code != 0) throw new MivexException(code, "Decryption failed: wrong key or damaged text.");
            Array.Resize(ref output, written);
            return output;
        }

        // One verification dialog on the calling thread (an STA thread that can own
        // windows, such as a Windows Forms UI thread); the template text.
        public static string VerifyTemplate()
        {
            IntPtr held = IntPtr.Zero;
            try
            {
                int code = NativeMethods.GetFPVerifyTempString(ref held);
                ThrowOnTemplateResult(code);
                int length = Marshal.ReadInt32(held, -4);
                return Marshal.PtrToStringAnsi(held, length);
            }
            finally
            {
                NativeMethods.GetPdtLID(ref held, IntPtr.Zero);
            }
        }

        // One enrollment dialog; the enrollment template string.
        public static string Enroll(string userId, string enrolledFingers, string fingerCodes, int minimum, int maximum)
        {
            byte[] buffer = new byte[TemplateBufferSize];
            using (var user = new CountedString(userId))
            using (var enrolled = new CountedString(enrolledFingers))
            using (var codes = new CountedString(fingerCodes))
            {
                int code = NativeMethods.GetFPEnrollTemp(user.Handle, enrolled.Handle, codes.Handle, minimum, maximum, buffer);
                ThrowOnTemplateResult(code);
            }
            return FromBuffer(buffer);
        }
    }
}
