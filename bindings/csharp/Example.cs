// A minimal .NET Framework host: encrypts and decrypts a text, then takes one
// verification template. Build: csc -platform:x86 Mivex.cs Example.cs
using System;
using System.Text;

namespace Mivex.Example
{
    public static class Program
    {
        [STAThread]
        public static int Main()
        {
            const string key = "0123456789abcdef0123456789ABCDEF";
            string hex = Library.Encrypt(key, Encoding.ASCII.GetBytes("card 4711"));
            Console.WriteLine("ciphertext: " + hex);
            Console.WriteLine("plaintext:  " + Encoding.ASCII.GetString(Library.Decrypt(key, hex)));
            try
            {
                string template = Library.VerifyTemplate();
                Console.WriteLine("verification template: " + template.Length + " characters");
                return 0;
            }
            catch (MivexException e)
            {
                Console.WriteLine("no template (" + e.Code + "): " + e.Message);
                return 1;
            }
        }
    }
}
