// Reads payloads (one per line, hex-encoded UTF-8) and prints what ZXing's own
// result parsers make of each: "type field=hexvalue ..." on one line.
import com.google.zxing.BarcodeFormat;
import com.google.zxing.Result;
import com.google.zxing.client.result.*;
import java.io.*;
import java.nio.charset.StandardCharsets;

public class ParsePayload {
    static String hex(String s) {
        if (s == null) return "-";
        StringBuilder b = new StringBuilder();
        for (byte x : s.getBytes(StandardCharsets.UTF_8)) b.append(String.format("%02X", x));
        return b.length() == 0 ? "_" : b.toString();
    }
    static String first(String[] a) { return a == null || a.length == 0 ? null : a[0]; }
    static String join(String[] a) { return a == null ? null : String.join("|", a); }

    public static void main(String[] args) throws IOException {
        BufferedReader in = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.US_ASCII));
        String line;
        while ((line = in.readLine()) != null) {
            byte[] bytes = new byte[line.length() / 2];
            for (int i = 0; i < bytes.length; i++) bytes[i] = (byte) Integer.parseInt(line.substring(2 * i, 2 * i + 2), 16);
            String text = new String(bytes, StandardCharsets.UTF_8);
            ParsedResult r = ResultParser.parseResult(new Result(text, null, null, BarcodeFormat.QR_CODE));
            StringBuilder out = new StringBuilder(r.getType().toString());
            if (r instanceof AddressBookParsedResult) {
                AddressBookParsedResult a = (AddressBookParsedResult) r;
                out.append(" name=").append(hex(join(a.getNames())));
                out.append(" tel=").append(hex(join(a.getPhoneNumbers())));
                out.append(" note=").append(hex(a.getNote()));
                out.append(" email=").append(hex(join(a.getEmails())));
                out.append(" org=").append(hex(a.getOrg()));
                out.append(" url=").append(hex(join(a.getURLs())));
                out.append(" addr=").append(hex(join(a.getAddresses())));
            } else if (r instanceof WifiParsedResult) {
                WifiParsedResult w = (WifiParsedResult) r;
                out.append(" ssid=").append(hex(w.getSsid()));
                out.append(" password=").append(hex(w.getPassword()));
                out.append(" type=").append(hex(w.getNetworkEncryption()));
            } else if (r instanceof SMSParsedResult) {
                SMSParsedResult s = (SMSParsedResult) r;
                out.append(" number=").append(hex(join(s.getNumbers())));
                out.append(" body=").append(hex(s.getBody()));
            }
            System.out.println(out);
        }
    }
}
