// The installer's window: copies the player's two support libraries from its own
// folder into the system directory and starts the registration tool for each copy.
#pragma once

#include "runtime/Forms.h"
#include "runtime/Values.h"

namespace zampoinst {
using namespace runtime;

class Form1 : public Form {
public:
    Form1();

    // The controls, in creation and tab order.
    Label Label1{this,
                 {.Left = 240,
                  .Top = 480,
                  .Width = 5055,
                  .Height = 855,
                  .Font = {u"Arial", 9.75f},
                  .BackStyle = vbTransparent,
                  .TabIndex = 0}};
    ListBox List2{this,
                  {.Left = 240,
                   .Top = 2160,
                   .Width = 2775,
                   .Height = 1410,
                   .Font = {u"Arial", 12},
                   .TabIndex = 1}};
    CommandButton Command1{this,
                           {.Left = 3240,
                            .Top = 2160,
                            .Width = 2415,
                            .Height = 1455,
                            .Style = vbButtonGraphical,
                            .Caption = u"Copiar archivos y registrar componentes",
                            .Font = {u"Arial", 12},
                            .BackColor = RGB(255, 224, 192),
                            .TabIndex = 2}};
    Label Label3{this,
                 {.Left = 240,
                  .Top = 1560,
                  .Width = 4935,
                  .Height = 495,
                  .Font = {u"Arial", 9.75f},
                  .BackStyle = vbTransparent,
                  .TabIndex = 3}};
    Label Label2[3]{{this,
                     {.Left = 240,
                      .Top = 3720,
                      .Width = 4455,
                      .Height = 375,
                      .Caption = u"Este procedimiento tiene la garantía personal de",
                      .Font = {u"Arial", 9.75f},
                      .BackStyle = vbTransparent,
                      .TabIndex = 4}},
                    {this,
                     {.Left = 240,
                      .Top = 3960,
                      .Width = 3615,
                      .Height = 375,
                      .Caption = u"Peralto",
                      .Font = {u"Arial", 9.75f},
                      .BackStyle = vbTransparent,
                      .TabIndex = 5}},
                    {this,
                     {.Left = 240,
                      .Top = 4200,
                      .Width = 3615,
                      .Height = 375,
                      .Caption = u"peralto@zampolo.es",
                      .Font = {u"Arial", 9.75f},
                      .BackStyle = vbTransparent,
                      .ForeColor = vbHighlight,
                      .TabIndex = 6}}};

    // Set once at load.
    String SystemDirBuffer;   // 260 characters handed to GetSystemDirectoryA
    Long SystemDirLength = 0; // what it wrote, without the NUL
    String SystemDir;         // the system directory, no trailing '\'

protected:
    void Form_Load() override;

private:
    void FillFileList();
    void Command1_Click();
};
} // namespace zampoinst
