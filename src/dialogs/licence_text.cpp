// The licence agreement shipped with the manager; the server may supply a newer one.
namespace k4m {

extern const char* const kBuiltInLicence;

const char* const kBuiltInLicence = R"(KANDORO 4 END USER LICENSE AGREEMENT

Please read this agreement carefully before you install Kandoro 4. By clicking "I Agree" you accept its terms. If you do not accept them, click "Cancel Installation": nothing will be installed.

1. DEFINITIONS
"Corvane" means the maker of Kandoro 4. "Software" means the Kandoro 4 plug-in, its stand-alone application, the Kandoro 4 Manager, and every sound set, style, player, drum kit, MIDI pattern and other content package delivered for them, together with any updates. "You" means the person or organisation to whom the customer key was issued.

2. GRANT OF LICENSE
Corvane grants you a non-exclusive, non-transferable license to install and use the Software on computers that you own or control, for as long as you comply with this agreement. The Software is licensed, not sold. Corvane keeps all rights that this agreement does not expressly grant to you.

3. YOUR MUSIC
You may use the sounds and patterns of the Software, as played through the plug-in or the stand-alone application, in your own musical productions, commercial or not, without paying further fees and without naming Corvane. Your recordings and compositions remain yours.

4. RESTRICTIONS
You may not: (a) sell, rent, lend, share or give away the Software, your customer key or any part of the sound content; (b) redistribute the audio samples, kits or patterns as they are, or as part of another sample library, sound set, virtual instrument or loop collection, whether free or for sale; (c) decompile, disassemble or otherwise reverse engineer the Software, except where the law allows it despite this restriction; (d) remove or alter any notice of ownership in the Software.

5. CUSTOMER KEY AND DOWNLOADS
Your customer key identifies your purchases. Keep it private: anyone who has it can download your products. The Manager sends the key to Corvane's servers to list and deliver your products and stores it on your computer. Corvane may limit the number of downloads or installations where it sees misuse of a key.

6. OFFLINE PACKAGES
The Manager can prepare an installation package for a computer without an Internet connection. Such a package is for your own computers only and falls under this agreement like any other copy of the Software.

7. UPDATES
Corvane may offer updates of the Software. The Manager checks for them when it starts and may replace itself with a newer version. Updates are covered by this agreement unless they come with terms of their own.

8. TERMINATION
This license ends automatically if you break any of its terms. When it ends you must remove every copy of the Software from your computers. Sections 3, 9, 10 and 11 remain in force after the license ends.

9. LIMITED WARRANTY
Corvane warrants for ninety (90) days after purchase that the Software will work substantially as described in its documentation. Your only remedy under this warranty is, at Corvane's choice, the correction of the fault or a refund of the price you paid. Apart from this, the Software is provided "as is", without warranties of any kind, express or implied, including warranties of merchantability, fitness for a particular purpose and non-infringement, to the extent the law allows.

10. LIMITATION OF LIABILITY
To the extent the law allows, Corvane is not liable for any indirect, incidental, special or consequential damages, including lost profits, lost data, lost recordings or interrupted work, arising from the use of or the inability to use the Software, even if Corvane was told of the possibility of such damages. Corvane's total liability shall not exceed the amount you paid for the Software. Nothing in this agreement limits liability that the law does not allow to be limited.

11. GENERAL
This agreement is the whole agreement between you and Corvane about the Software and replaces any earlier understanding. If a court finds any part of it unenforceable, the rest stays in force. A failure to enforce a term is not a waiver of it. Your statutory rights as a consumer are not affected.

Kandoro and Corvane are trademarks of Corvane. All other product names are trademarks of their owners.

Copyright (c) Corvane. All rights reserved.
)";

} // namespace k4m
